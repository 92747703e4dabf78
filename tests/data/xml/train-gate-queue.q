A[] forall (i : id_t) forall (j : id_t) Train(i).cross && Train(j).cross imply i == j
E<> Train(1).cross
E<> Gate.occ && len == N
A[] Train(0).stop imply len > 1
Train(1).appr --> Train(1).cross
A[] not deadlock
