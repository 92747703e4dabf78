A[] forall (i : id_t) forall (j : id_t) Train(i).cross && Train(j).cross imply i == j
Train(1).appr --> Train(1).cross   // every train that approaches crosses
Train(1).stop --> Train(1).cross
A<> Train(1).cross                 // not satisfied: a train may stay away
E<> len == N                       // all trains queued
