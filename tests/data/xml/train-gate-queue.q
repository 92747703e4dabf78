A[] forall (i : id_t) forall (j : id_t) Train(i).cross && Train(j).cross imply i == j
E<> Train(1).cross
E<> Gate.occ && len == N
A[] Train(0).stop imply len > 1
A[] not deadlock
