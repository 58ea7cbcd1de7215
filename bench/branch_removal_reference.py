#!/usr/bin/env python3
"""Branch-number removal (mode 0) done the straightforward way, as the reference
of bench_receipt.sh: read the file, decode it with Python's cp932 codec, split
every record at commas, rebuild the RE records, encode and write."""
import sys


def trim(s):
    i, j = 0, len(s)
    while i < j and s[i] <= ' ':
        i += 1
    while j > i and s[j - 1] <= ' ':
        j -= 1
    return s[i:j]


def before_first(s, sep):
    at = s.find(sep)
    return s if at < 0 else trim(s[:at])


def get_knj_bng(s):
    s = trim(s)
    if s.endswith('*0'):
        s = trim(s[:-2])
    s = before_first(s, '-').replace(' ', '')
    s = before_first(s, '/').replace(' ', '')
    return before_first(s, '*').replace(' ', '')


def join_comma_txt(fields):
    if len(fields) == 1 and fields[0] == '':
        return '""'
    out = []
    for f in fields:
        if any(c == '"' or c == ',' or '\x01' <= c <= ' ' for c in f):
            out.append('"' + f.replace('"', '""') + '"')
        else:
            out.append(f)
    return ','.join(out)


def main(src, dst):
    data = open(src, 'rb').read()
    mark = data.find(b'\x1a')
    if mark >= 0:
        data = data[:mark]
    text = data.decode('cp932', errors='surrogateescape')
    lines = text.split('\n')
    if lines and lines[-1] == '':
        lines.pop()
    out = []
    for line in lines:
        line = line.replace('\r', '')
        fields = line.replace('"', '').split(',')
        if fields[0] == 'RE':
            fields[13] = get_knj_bng(fields[13])
            line = join_comma_txt(fields)
        out.append(line)
    with open(dst, 'wb') as f:
        f.write(''.join(l + '\r\n' for l in out).encode('cp932', errors='surrogateescape'))


if __name__ == '__main__':
    main(sys.argv[1], sys.argv[2])
