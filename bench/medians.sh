# Sourced by the run_*_bench.sh scripts that log one line per run ("NAME field=value ..."
# in the file named by $log): `median NAME FIELD` prints the median of FIELD over NAME's
# runs (the mean of the middle two for an even count; 0 when there is none).
median() {
  awk -v name="$1" -v field="$2" '$1 == name {
      for (i = 2; i <= NF; i++) if (index($i, field "=") == 1) v[n++] = substr($i, length(field) + 2) + 0
    } END {
      for (i = 0; i < n; i++) for (j = i + 1; j < n; j++) if (v[j] < v[i]) {t = v[i]; v[i] = v[j]; v[j] = t}
      if (n == 0) print 0; else if (n % 2) print v[int(n / 2)]; else print (v[n / 2 - 1] + v[n / 2]) / 2
    }' "$log"
}
