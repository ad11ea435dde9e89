$ Narrow-band quad circuit
$ Freq of circuit is  12.1  MHz.
$ Impedance of circuit is  50  Ohms.
$ written by talvaine.
$ https://www.talvaine.com/


AplacVar L1 = 4.65109634829804E-07
AplacVar L3 = 6.57665023649343E-07
AplacVar C1 = 6.3515371732358E-10

Ind L1 4 3 L1
Ind L2 1 2 L1
Ind L3 1 4 L3
Ind L4 2 3 L3
Cap C1 4 0 C1
Cap C2 3 0 C1
Cap C3 1 0 C1
Cap C4 2 0 C1

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
