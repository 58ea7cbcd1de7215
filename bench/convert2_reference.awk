# The item-code conversion of converter 2 as a clinic's IT person would
# write it in awk: the reference of bench_linkage.sh. Every column from its
# default input field, the one-character, digit and length rules, the chart
# number through recelist.csv. (Lengths count bytes, not characters.)
#   usage: awk -v recelist=FILE -v header=FILE -f convert2_reference.awk INPUT > OUTPUT
function trim(s) {
  sub(/^[\001- ]+/, "", s)
  sub(/[\001- ]+$/, "", s)
  return s
}
function carte(s) {
  s = trim(s)
  return (s ~ /^[+-]?[0-9]+$/ && s + 0 != 0) ? s + 0 : s
}
function keeps(c, v,    t) {
  if (!(c in kind)) return 1
  t = trim(v)
  if (kind[c] == "M") return length(t) <= len[c]
  return length(t) == len[c] && t ~ pat[c]
}
BEGIN {
  FS = "\t"
  ORS = "\r\n"
  split("1 2 4 6 0 0 0 0 0 0 0 88 87 0 0 0 0 0 0 0 7 8 12 10 9 11 13 14 0 0 0 0 15 16 0 17 18 0 0 90 " \
        "0 0 91 0 19 0 0 0 20 0 0 0 21 22 0 23 27 25 24 26 28 29 30 0 31 0 32 33 34 0 0 0 0 0 0 0 0 0 0 0 " \
        "35 36 37 85 0 0 0 0 0 86 87 88 89 90 91 92 0 93 94 95", src, " ")
  n = split("1=M20 2=D8 21=D8 80=D8 3=D7 23=D7 57=D7 11=S[0-5] 12=S[0-9] 20=S[1-5] 22=M40 56=M40 " \
            "25=D4 59=D4 26=S[01239] 44=S[01239] 27=S[01] 33=S[01] 36=S[01] 55=S[01] 62=S[01] " \
            "32=S[019] 35=S[019] 48=S[019] 66=S[019] 67=S[019] 39=S[012349] 42=S[129] 52=D6 96=D6 " \
            "98=D6 53=S[0-7] 60=F13:[01] 61=F10:[01239] 81=F10:[01239] 64=S[0-2] 68=F5:[01] " \
            "82=F18:[1-79] 83=F14:[01] 99=F7:[01]", rules, " ")
  # M<n>: at most n; D<n>: n digits; S<set>: one of the set; F<n>:<set>: n of the set
  for (i = 1; i <= n; i++) {
    split(rules[i], kv, "=")
    c = kv[1]
    kind[c] = substr(kv[2], 1, 1)
    if (kind[c] == "S") {
      len[c] = 1
      pat[c] = "^" substr(kv[2], 2) "$"
    } else if (kind[c] == "F") {
      split(substr(kv[2], 2), p, ":")
      len[c] = p[1] + 0
      pat[c] = "^" p[2] "+$"
    } else {
      len[c] = substr(kv[2], 2) + 0
      pat[c] = "^[0-9]+$"
    }
  }
  while ((getline line < recelist) > 0) {
    sub(/\r$/, "", line)
    if (split(line, f, ",") >= 5 && trim(f[5]) != "") chart[carte(f[5])] = carte(f[1])
  }
  getline head < header
  sub(/\r$/, "", head)
}
NR == 1 { print head; next }
/^[\001- ]*$/ { next }
{
  sub(/\r$/, "")
  id = carte($1)
  row = (id in chart) ? chart[id] : id
  for (c = 1; c < 100; c++) {
    v = (src[c + 1] > 0 && src[c + 1] <= NF) ? $(src[c + 1]) : ""
    if (c == 2) {
      v = trim(v)
      if (length(v) == 6) v = v "01"
    }
    row = row "," (keeps(c, v) ? v : "")
  }
  print row
}
