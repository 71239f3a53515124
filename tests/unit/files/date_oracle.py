#!/usr/bin/env python3
"""Reference results of the date built-ins for date_oracle_test.cpp.

The calendar comes from Python's datetime and zoneinfo; each built-in's rule
(the half second of every value, stepping in UTC, the year-based counts, the
C locale's text forms) is written out here on its own. The cases come from a
fixed seed, so every run writes the same table.

    python3 date_oracle.py OUT.txt

One case per line:  ZONE MODE NAME ARG... = EXPECTED...
  ZONE is the TZ the case runs in, MODE 0 (local) or 1 (UTC) the game's
  choice of zone; a value is r<float.hex()> for a real or s<hex of the UTF-8
  bytes> for a string. Where the zone leaves the answer to the system (a
  local time in a daylight-saving gap or overlap) every acceptable answer
  is listed.
"""
import datetime as dt
import math
import random
import sys
from zoneinfo import ZoneInfo

UTC = dt.timezone.utc
ZONES = ['UTC', 'Europe/Berlin', 'America/New_York', 'Asia/Kolkata']
DAYS = ['Sun', 'Mon', 'Tue', 'Wed', 'Thu', 'Fri', 'Sat']
MONTHS = ['Jan', 'Feb', 'Mar', 'Apr', 'May', 'Jun', 'Jul', 'Aug', 'Sep', 'Oct', 'Nov', 'Dec']
MONTH_LENGTHS = [31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31]
INVALID = 'invalid time'

rng = random.Random(20)
out = []


def enc(v):
    if isinstance(v, str):
        return 's' + v.encode().hex()
    return 'r' + float(v).hex()


def case(zone, mode, name, args, *expected):
    alts = []
    for e in expected:
        if enc(e) not in alts:
            alts.append(enc(e))
    out.append(' '.join([zone, str(mode), name] + [enc(a) for a in args] + ['='] + alts))


def value_of(t):
    return (float(t) + 0.5) / 86400.0 + 25569.0


def moment_of(v):
    return math.floor((v - 25569.0) * 86400.0)


def leap(y):
    return (y % 4 == 0 and y % 100 != 0) or y % 400 == 0


def month_length(y, m):
    return 29 if m == 2 and leap(y) else MONTH_LENGTHS[m - 1]


def naive(y, mo, d, h=0, mi=0, s=0):
    """The fields with the ones out of range carried, as the system composes them."""
    y += (mo - 1) // 12
    mo = (mo - 1) % 12 + 1
    return dt.datetime(y, mo, 1) + dt.timedelta(days=d - 1, hours=h, minutes=mi, seconds=s)


def moments(fields, zone, mode):
    """Every moment the fields may name in the zone (two in a gap or overlap)."""
    if mode == 1 or zone == 'UTC':
        return [int(fields.replace(tzinfo=UTC).timestamp())]
    z = ZoneInfo(zone)
    return [int(fields.replace(tzinfo=z, fold=f).timestamp()) for f in (0, 1)]


def split(t, zone, mode):
    """The moment's fields in the zone; None outside four-digit years."""
    try:
        return dt.datetime.fromtimestamp(t, UTC if mode == 1 else ZoneInfo(zone))
    except (OverflowError, ValueError, OSError):
        return None


def text(t, zone, mode, form):
    f = split(t, zone, mode)
    if f is None:
        return INVALID
    wd = (f.weekday() + 1) % 7
    hms = '%02d:%02d:%02d' % (f.hour, f.minute, f.second)
    if form == 'date_datetime_string':
        return '%s %s %2d %s %d' % (DAYS[wd], MONTHS[f.month - 1], f.day, hms, f.year)
    if form == 'date_date_string':
        return '%02d/%02d/%02d' % (f.month, f.day, f.year % 100)
    return hms


def getter(name, f):
    yday = sum(month_length(f.year, m) for m in range(1, f.month)) + f.day
    hour_of_year = (yday - 1) * 24 + f.hour
    return {
        'date_get_year': f.year,
        'date_get_month': f.month,
        'date_get_week': (f.timetuple().tm_yday - 1) // 7,
        'date_get_day': f.day,
        'date_get_hour': f.hour,
        'date_get_minute': f.minute,
        'date_get_second': f.second,
        'date_get_weekday': (f.weekday() + 1) % 7,
        'date_get_day_of_year': f.timetuple().tm_yday,
        'date_get_hour_of_year': hour_of_year,
        'date_get_minute_of_year': hour_of_year * 60 + f.minute,
        'date_get_second_of_year': (hour_of_year * 60 + f.minute) * 60 + f.second,
        'date_days_in_month': month_length(f.year, f.month),
        'date_days_in_year': 366 if leap(f.year) else 365,
        'date_leap_year': 1 if leap(f.year) else 0,
    }[name]


GETTERS = ['date_get_year', 'date_get_month', 'date_get_week', 'date_get_day', 'date_get_hour',
           'date_get_minute', 'date_get_second', 'date_get_weekday', 'date_get_day_of_year',
           'date_get_hour_of_year', 'date_get_minute_of_year', 'date_get_second_of_year',
           'date_days_in_month', 'date_days_in_year', 'date_leap_year']
TEXTS = ['date_datetime_string', 'date_date_string', 'date_time_string']


def take_apart(zone, mode, v):
    t = moment_of(v)
    f = split(t, zone, mode)
    for name in GETTERS:
        if f is not None:
            case(zone, mode, name, [v], getter(name, f))
    for name in TEXTS:
        case(zone, mode, name, [v], text(t, zone, mode, name))


def rounded(x):
    return round(x)  # halves to even, as the engine rounds


def create_datetime(zone, mode, args):
    y = max(rounded(args[0]), 1900)
    mo, d, h, mi, s = (int(a) for a in args[1:])
    case(zone, mode, 'date_create_datetime', args,
         *[value_of(t) for t in moments(naive(y, mo, d, h, mi, s), zone, mode)])


def random_moment(lo=1900, hi=2100):
    a = int(dt.datetime(lo, 1, 1, tzinfo=UTC).timestamp())
    b = int(dt.datetime(hi, 1, 1, tzinfo=UTC).timestamp())
    return rng.randrange(a, b)


# ---- creating ------------------------------------------------------------------
for zone in ZONES:
    for mode in (0, 1):
        for _ in range(150):
            args = [rng.choice([rng.randrange(1900, 2100), rng.randrange(1900, 2100) + rng.choice([0.4, -0.4, 0.5])]),
                    rng.randrange(1, 13), rng.randrange(1, 32), rng.randrange(0, 24), rng.randrange(0, 60),
                    rng.randrange(0, 60)]
            if rng.random() < 0.3:  # truncated fields, some out of range so they carry
                args[1:] = [a + rng.choice([0.9, -0.9, 0.0]) + rng.choice([0, 0, 13, -1]) for a in args[1:]]
            create_datetime(zone, mode, args)
        for y, mo, d in [(1850, 6, 1), (1899.6, 1, 1), (2023, 2, 29), (2024, 2, 29), (2024, 13, 1), (2024, 0, 0),
                         (1969, 12, 31), (2100, 2, 29)]:
            create_datetime(zone, mode, [y, mo, d, 12, 0, 0])
        for _ in range(40):
            y, mo, d = rng.randrange(1900, 2100), rng.randrange(1, 13), rng.randrange(1, 29)
            args = [y + rng.choice([0, 0.4, -0.4]), mo + rng.choice([0, 0.4]), d + rng.choice([0, 0.6])]
            ry, rmo, rd = (rounded(a) for a in args)
            case(zone, mode, 'date_create_date', args,
                 *[value_of(t) for t in moments(naive(ry, rmo, rd), zone, mode)])
        for _ in range(20):
            args = [rng.randrange(0, 24) + rng.choice([0, 0.4]), rng.randrange(0, 60), rng.randrange(0, 60) + rng.choice([0, 0.6])]
            h, mi, s = (rounded(a) for a in args)
            case(zone, mode, 'date_create_time', args,
                 *[value_of(t) for t in moments(naive(1900, 1, 0, h, mi, s), zone, mode)])

# ---- stepping: split and composed in UTC whatever the zone ------------------------
STEPS = {'date_inc_year': 'year', 'date_inc_month': 'month', 'date_inc_week': 'week', 'date_inc_day': 'day',
         'date_inc_hour': 'hour', 'date_inc_minute': 'minute', 'date_inc_second': 'second'}


def step(t, field, n):
    f = dt.datetime.fromtimestamp(t, UTC)
    y, mo, d, h, mi, s = f.year, f.month, f.day, f.hour, f.minute, f.second
    if field == 'year':
        y += n
    elif field == 'month':
        mo += n
    elif field == 'week':
        d += 7 * n
    elif field == 'day':
        d += n
    elif field == 'hour':
        h += n
    elif field == 'minute':
        mi += n
    else:
        s += n
    return int(naive(y, mo, d, h, mi, s).replace(tzinfo=UTC).timestamp())


month_ends = [int(dt.datetime(y, m, month_length(y, m), h, tzinfo=UTC).timestamp())
              for y in (1900, 1968, 2000, 2023, 2024, 2100) for m in (1, 2, 3, 12) for h in (0, 23)]
for name, field in STEPS.items():
    for zone in ('Europe/Berlin', 'America/New_York'):
        bases = month_ends + [random_moment() for _ in range(60)]
        for t in bases:
            n = rng.choice([1, -1, 12, -12, 48, rng.randrange(-400, 400)]) + rng.choice([0, 0, 0.4, -0.4, 0.7, 0.5])
            whole = int(n) if field == 'day' else rounded(n)
            case(zone, 0, name, [value_of(t), n], value_of(step(t, field, whole)))

# ---- spans -------------------------------------------------------------------------
SPANS = {'date_year_span': (1.0, 365.25), 'date_month_span': (12.0, 365.25), 'date_week_span': (1.0, 7.0),
         'date_day_span': (1.0, 1.0), 'date_hour_span': (24.0, 1.0), 'date_minute_span': (1440.0, 1.0),
         'date_second_span': (86400.0, 1.0)}
for name, (times, over) in SPANS.items():
    for _ in range(40):
        a, b = value_of(random_moment()), rng.uniform(-1000, 80000)
        for x, y in ((a, b), (b, a)):
            case('UTC', 0, name, [x, y], abs(x - y) * times / over)

# ---- taking apart and text -----------------------------------------------------------
for zone in ZONES:
    for mode in (0, 1):
        for _ in range(40):
            take_apart(zone, mode, value_of(random_moment()))
        for _ in range(10):
            take_apart(zone, mode, rng.uniform(0, 80000))  # values no built-in made
        for y in (1900, 1970, 2023, 2024):
            for m, d in ((1, 1), (1, 7), (1, 8), (2, 29), (3, 1), (12, 31)):
                if d <= month_length(y, m):
                    take_apart(zone, mode, value_of(int(dt.datetime(y, m, d, 5, 30, tzinfo=UTC).timestamp())))
    # The last second of four-digit years and the first one after them.
    last = int(dt.datetime(9999, 12, 31, 23, 59, 59, tzinfo=UTC).timestamp())
    for t in (last, last + 1, last + 86400 * 400):
        for name in TEXTS:
            case(zone, 1, name, [value_of(t)], text(t, zone, 1, name))


# ---- daylight saving: each change of 2024, either side of it and inside it ----------
def transitions(zone, year):
    z = ZoneInfo(zone)
    found = []
    t = int(dt.datetime(year, 1, 1, tzinfo=UTC).timestamp())
    end = int(dt.datetime(year + 1, 1, 1, tzinfo=UTC).timestamp())
    off = dt.datetime.fromtimestamp(t, z).utcoffset()
    while t < end:
        nxt = t + 3600
        if dt.datetime.fromtimestamp(nxt, z).utcoffset() != off:
            lo, hi = t, nxt  # the offset changes in (lo, hi]
            while hi - lo > 1:
                mid = (lo + hi) // 2
                if dt.datetime.fromtimestamp(mid, z).utcoffset() == off:
                    lo = mid
                else:
                    hi = mid
            found.append(hi)
            off = dt.datetime.fromtimestamp(hi, z).utcoffset()
        t = nxt
    return found


for zone in ('Europe/Berlin', 'America/New_York'):
    for change in transitions(zone, 2024):
        for t in (change - 1, change):
            take_apart(zone, 0, value_of(t))
        z = ZoneInfo(zone)
        before = dt.datetime.fromtimestamp(change - 1, z).replace(tzinfo=None)
        after = dt.datetime.fromtimestamp(change, z).replace(tzinfo=None)
        # Local times either side of the change and within its gap or overlap.
        gap_or_overlap = min(before, after) + dt.timedelta(minutes=30)
        for f in (before, after, gap_or_overlap):
            create_datetime(zone, 0, [f.year, f.month, f.day, f.hour, f.minute, f.second])
        # Whichever moment the system picks in an overlap, it reads back as the same wall time.
        for t in moments(gap_or_overlap, zone, 0):
            if dt.datetime.fromtimestamp(t, z).replace(tzinfo=None) == gap_or_overlap:
                case(zone, 0, 'date_get_hour', [value_of(t)], gap_or_overlap.hour)
                case(zone, 0, 'date_get_minute', [value_of(t)], gap_or_overlap.minute)

with open(sys.argv[1], 'w') as f:
    f.write('\n'.join(out) + '\n')
