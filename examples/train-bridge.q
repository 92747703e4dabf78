// Never two trains on the bridge.
A[] forall (i : id_t) forall (j : id_t)
      Train(i).cross && Train(j).cross imply i == j

E<> Train(2).cross                       // every train may cross
E<> Controller.len == N - 1              // all but one train waiting
A[] Controller.len < N
/* A halted train is always in the queue. */
A[] forall (i : id_t) Train(i).halted imply exists (k : int[0,N-1]) k < Controller.len &&
      Controller.queue[k] == i
E<> Train(0).halted && Controller.head() == 1
