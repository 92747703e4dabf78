E<> A.far && B.far && C.far && D.far && time <= 17    // the known optimum
E<> A.far && B.far && C.far && D.far && time < 17     // no faster schedule exists
A[] not (A.going && B.going && C.going)               // never three on the bridge
