# Run time against list size, each run beside its floor, from the data
# bench/report.py writes.
set terminal pngcairo size 960,600 font "DejaVu Sans,11"
set output output
set title "lotpick whole runs against list size, with their floors (medians)"
set xlabel "lines in the list"
set ylabel "time per run (ms)"
set logscale xy
set format x "10^{%L}"
set xrange [5000:20000000]
set grid xtics ytics mytics
set key top left box opaque
set pointsize 1.3
plot results.'/plot.dat' using 1:($6*1000) with linespoints lw 2 pt 7 lc rgb "#1f77b4" title "lotpick, all names done", \
     '' using 1:($7*1000) with linespoints lw 2 dt 2 pt 6 lc rgb "#1f77b4" title "one write per line alone", \
     '' using 1:($4*1000) with linespoints lw 2 pt 5 lc rgb "#d62728" title "lotpick, every second name done", \
     '' using 1:($5*1000) with linespoints lw 2 dt 2 pt 4 lc rgb "#d62728" title "wc -l list DoneList", \
     '' using 1:($2*1000) with linespoints lw 2 pt 9 lc rgb "#2ca02c" title "lotpick, fresh pick", \
     '' using 1:($3*1000) with linespoints lw 2 dt 2 pt 8 lc rgb "#2ca02c" title "wc -l list", \
     '' using 1:($8*1000) with linespoints lw 1 pt 3 lc rgb "#7f7f7f" title "shuf -n 1", \
     '' using 1:($9*1000) with lines lw 2 dt (8,6) lc rgb "black" title "lotpick start-up alone"
