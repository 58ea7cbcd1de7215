# Replacement mode 1 as a clinic's IT person would script it: the definition
# file (old,new; both padded to ten digits) first, then the outpatient file,
# whose field 2 is replaced wherever it stands in the line.
#   awk -F'\t' -f replace_mode1_reference.awk DEFINITION INPUT > OUTPUT
NR == FNR { split($0, p, ","); o = p[1]; n = p[2]; gsub(/^[ \t]+|[ \t\r]+$/, "", o);
            gsub(/^[ \t]+|[ \t\r]+$/, "", n);
            while (length(o) < 10) o = "0" o; while (length(n) < 10) n = "0" n;
            if (!(o in m)) m[o] = n; next }
{ k = $2; if (k in m) { line = $0; r = ""; while ((i = index(line, k)) > 0) {
      r = r substr(line, 1, i - 1) m[k]; line = substr(line, i + length(k)) } $0 = r line }
  print }
