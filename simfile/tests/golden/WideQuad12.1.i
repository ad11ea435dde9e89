$ Wide-band quad circuit
$ Freq of circuit is  12.1  MHz.
$ Impedance of circuit is  50  Ohms.
$ written by talvaine.
$ https://www.talvaine.com/


AplacVar L1 = 4.64969171720085E-07
AplacVar L5 = 1.58760336708951E-06
AplacVar C1 = 4.81062856770114E-10
AplacVar C2 = 1.11626312359153E-09

Ind L1 4  30  L1
Ind L2 30  3  L1
Ind L3 1  20  L1
Ind L4 20  2  L1
Ind L5 1   4  L5
Ind L6 20 30  L1
Ind L7 2   3  L5
Cap C1 4  0  C1
Cap C2 30 0  C2
Cap C3 3  0  C1
Cap C4 1  0  C1
Cap C5 20 0  C2
Cap C6 2  0  C1

Res R1 4 0 50 

Defnport Filter 3 1 0 50  2 0 50  3 0 50 

Sweep 'Filter'
+ LOOP 200 FREQ LOG  1210000.03814697  22990000.7247925 
+   Window 0
+   X Hz "" 1210000.03814697  22990000.7247925 
+   Y dB "S21" -15 0 
+   Y2 dB "S31" -15 0 
+   Window 1
+   X Hz "" 1210000.03814697  22990000.7247925 
+   Y dB "S32" -30 0 
+   Window 2
+   smith
  Display
  +  Window 0
  +      Y "Output to Port 2" MAGDB(S(2, 1)) Marker 1
  +      Y2 "Output to Port 3" MAGDB(S(3, 1)) Marker 2
  +  Window 1
  +      Y "Reverse Isolation 3 to 2" MAGDB(S(3, 2))
  +  Window 2
  +      MA " S11" S(1, 1)
EndSweep
