A<> Station(N - 1).holding        // the invariants force the token round the ring
A<> rounds == 1
A<> reading[0] == 1               // the sensor's invariant forces a reading
Station(0).holding --> Station(1).holding
E[] rounds == 0                   // not satisfied
A[] forall (i : id_t) forall (j : id_t) Station(i).holding && Station(j).holding imply i == j
