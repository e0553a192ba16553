(helix: a full circle in XY descending 3 mm over three turns)
G90 G17 G00 X10. Y0 Z0
G01 F200.
G02 X10. Y0 Z-3. I-10. J0 P3
G03 X0 Y10. Z-4. I-10. J0
G00 Z10.
M30
