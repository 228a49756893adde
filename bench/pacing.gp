# Frame time against frame number for each pacing run, with the marked
# events, as a PNG. Made by bench/run.sh:
#   gnuplot -e "out='FILE.png'; dir='DIR'; title='TEXT'" bench/pacing.gp
# DIR holds series.waves, marks.waves, series.spray and marks.spray as
# written by bench/pacing.awk.
set terminal pngcairo size 1000,700 font "DejaVu Sans,9"
set output out
set multiplot layout 2,1 title title
set logscale y
set yrange [0.3:400]
set ytics ("0.5" 0.5, "1" 1, "2" 2, "5" 5, "10" 10, "16.7" 16.7, "50" 50, "100" 100, "200" 200)
set ylabel "frame time (ms)"
set xlabel "frame"
set grid ytics
set key top left opaque
do for [run in "waves spray"] {
  name = run eq "waves" ? "first waves (autoplay rhythm, F1 there and back)" : "heavy scene (firing constantly, turning)"
  set title name
  plot dir."/series.".run using 1:2 with impulses lc rgb "#4060a0" title "frame", \
       16.7 with lines lc rgb "#c04040" dt 2 title "16.7 ms", \
       dir."/marks.".run using 1:2 with points pt 7 ps 1.2 lc rgb "#d08000" notitle, \
       dir."/marks.".run using 1:($2*1.5):3 with labels font ",9" tc rgb "#a05000" notitle
}
unset multiplot
