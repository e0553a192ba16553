(G12 full circle of radius 5 at X10 Y10, G13 of radius 4, then G28 Z return)
G90 G17 G00 X10. Y10. Z-1.
G12 I5. F100.
G13 I4.
G28 Z0
M30
