# Runs until every name came round against list size, from the data
# bench/rotation.py writes; started by bench/rotation.sh.
set terminal pngcairo size 900,560 font "DejaVu Sans,11"
set output output
set title "lotpick daily runs until every name of the list came round"
set xlabel "names in the list"
set ylabel "runs"
set logscale xy
set xrange [3:300]
set yrange [1:200000]
set format y "10^{%L}"
set xtics (4, 10, 40, 200)
set grid xtics ytics mytics
set key top right box opaque
set pointsize 1.4
plot results.'/rotation.dat' using 1:2 with linespoints lw 2 pt 7 lc 1 title "no blank line at the end: mean", \
     '' using 1:4 with linespoints lw 1 dt 2 pt 6 lc 1 title "no blank line at the end: worst", \
     '' using 1:3 with linespoints lw 2 pt 5 lc 2 title "blank line at the end: mean", \
     '' using 1:5 with linespoints lw 1 dt 2 pt 4 lc 2 title "blank line at the end: worst", \
     x with lines lw 2 dt (8,6) lc rgb "black" title "one run per name, no repeats"
