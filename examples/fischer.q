E<> P(1).cs && P(2).cs   // two processes in the critical section
E<> P(1).cs              // process 1 can enter it
A[] id <= N
P(1).req --> P(1).cs     // not satisfied: process 1 may wait forever
P(1).req --> P(1).wait   // the invariant of req forces the move
