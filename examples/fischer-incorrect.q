E<> P(1).cs && P(2).cs   // two processes in the critical section
E<> P(1).cs              // process 1 can enter it
A[] id <= N
