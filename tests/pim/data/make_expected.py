#!/usr/bin/python3
# Writes ical_expected.tsv: start, end (UTC, "YYYY-MM-DDTHH:MM:SS", "-" when
# absent) and summary of every VEVENT of the .ics files here, as Debian's
# python3-icalendar reads them. Run once by hand; the test reads the result.
# Dates (all-day values) are written as their midnight; floating times as
# written (the test reads them with TZ=UTC). Lines beginning with '#' name
# the files python3-icalendar itself fails on.
import datetime
import glob
import os

import icalendar


def utc_text(value):
    if value is None:
        return "-"
    if isinstance(value, list):  # a property given twice
        value = value[0]
    value = value.dt
    if isinstance(value, datetime.datetime):
        if value.tzinfo is not None:
            value = value.astimezone(datetime.timezone.utc)
        return value.strftime("%Y-%m-%dT%H:%M:%S")
    return value.strftime("%Y-%m-%dT00:00:00")


here = os.path.dirname(os.path.abspath(__file__))
with open(os.path.join(here, "ical_expected.tsv"), "w") as out:
    for path in sorted(glob.glob(os.path.join(here, "*.ics"))):
        with open(path, "rb") as f:
            try:
                calendars = icalendar.Calendar.from_ical(f.read(), multiple=True)
            except ValueError as error:
                out.write("# %s not read by python3-icalendar: %s\n" % (os.path.basename(path), str(error)[:90]))
                continue
        events = [event for calendar in calendars for event in calendar.walk("VEVENT")]
        for index, event in enumerate(events):
            summary = event.get("SUMMARY")
            if isinstance(summary, list):
                summary = summary[0]
            summary = "-" if summary is None else str(summary).replace("\t", " ")
            out.write("\t".join([os.path.basename(path), str(index), utc_text(event.get("DTSTART")),
                                 utc_text(event.get("DTEND")), summary]) + "\n")
