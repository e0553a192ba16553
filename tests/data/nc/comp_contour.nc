(G41 outline of a 40 x 30 rectangle walked clockwise, r = 5, arc joins, then cancel)
G90 G17 G00 X-20. Y-20. Z5.
G01 Z-2. F100.
G41 D1 X0 Y0
Y30.
X40.
Y0
X0
G40 X-20. Y-20.
G00 Z5.
M30
