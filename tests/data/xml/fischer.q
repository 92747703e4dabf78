A[] forall (i : id_t) forall (j : id_t) P(i).cs && P(j).cs imply i == j
E<> P(1).cs
A[] not deadlock
A[] id <= N
