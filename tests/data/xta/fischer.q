// Mutual exclusion, and process 1 can enter.
E<> P1.cs and P2.cs
A[] not (P1.cs and P3.cs)
E<> P1.cs
