# Run time against list size, from the data bench/report.py writes.
set terminal pngcairo size 900,560 font "DejaVu Sans,11"
set output output
set title "lotpick whole runs against list size (medians)"
set xlabel "lines in the list"
set ylabel "time per run (ms)"
set logscale xy
set format x "10^{%L}"
set xrange [5000:2000000]
set grid xtics ytics mytics
set key top left box opaque
set pointsize 1.4
plot results.'/plot.dat' using 1:($4*1000) with linespoints lw 2 pt 7 title "lotpick, all names done", \
     '' using 1:($5*1000) with linespoints lw 2 dt 2 pt 6 title "one write per line alone", \
     '' using 1:($3*1000) with linespoints lw 2 pt 5 title "shuf -n 1", \
     '' using 1:($2*1000) with linespoints lw 2 pt 9 title "lotpick, fresh pick", \
     '' using 1:($6*1000) with lines lw 2 dt (8,6) lc rgb "black" title "lotpick start-up alone"
