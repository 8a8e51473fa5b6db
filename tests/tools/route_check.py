"""Reads a GPX and a KML route back with independent parsers (gpxpy, the standard library's XML)
and compares them with the tracks `tavrilo-cli track` printed: the same valid points in order,
positions to 1e-6 degrees, times (the tests run in UTC), a segment per run of valid samples.
Usage: route_check.py ROUTE.gpx ROUTE.kml TRACK.json...   Exit status 0 when everything holds."""

import json
import sys
import xml.etree.ElementTree as ET

import gpxpy


def fail(message):
    print("route_check: " + message)
    sys.exit(1)


def runs(points):
    """The runs of consecutive valid samples, as the segments should be."""
    out, current = [], []
    for p in points:
        if p["valid"] == 1:
            current.append(p)
        elif current:
            out.append(current)
            current = []
    if current:
        out.append(current)
    return out


def main():
    gpx_path, kml_path, tracks = sys.argv[1], sys.argv[2], sys.argv[3:]
    expected = []
    for t in tracks:
        with open(t) as f:
            expected.extend(runs(json.load(f)["gps"]))
    with open(gpx_path) as f:
        gpx = gpxpy.parse(f)
    segments = [s for trk in gpx.tracks for s in trk.segments]
    if len(segments) != len(expected):
        fail("%d segments, expected %d" % (len(segments), len(expected)))
    for n, (seg, want) in enumerate(zip(segments, expected)):
        if len(seg.points) != len(want):
            fail("segment %d: %d points, expected %d" % (n, len(seg.points), len(want)))
        for p, w in zip(seg.points, want):
            if abs(p.latitude - w["lat"]) > 1e-6 or abs(p.longitude - w["lng"]) > 1e-6:
                fail("point (%f, %f), expected (%f, %f)" % (p.latitude, p.longitude, w["lat"], w["lng"]))
            if p.time.strftime("%Y-%m-%d %H:%M:%S") != w["time"]:
                fail("time %s, expected %s" % (p.time, w["time"]))
    if not gpx.waypoints or any(not w.name for w in gpx.waypoints):
        fail("no named waypoints")
    ns = {"k": "http://www.opengis.net/kml/2.2"}
    root = ET.parse(kml_path).getroot()
    lines = root.findall(".//k:LineString/k:coordinates", ns)
    if len(lines) != len(expected):
        fail("%d KML lines, expected %d" % (len(lines), len(expected)))
    for line, want in zip(lines, expected):
        coords = [c.split(",") for c in line.text.split()]
        if len(coords) != len(want):
            fail("KML line of %d points, expected %d" % (len(coords), len(want)))
        for (lon, lat, _), w in zip(coords, want):
            if abs(float(lat) - w["lat"]) > 1e-6 or abs(float(lon) - w["lng"]) > 1e-6:
                fail("KML point (%s, %s), expected (%f, %f)" % (lat, lon, w["lat"], w["lng"]))
    events = root.findall(".//k:Point", ns)
    if len(events) != len(gpx.waypoints):
        fail("%d KML event placemarks, %d GPX waypoints" % (len(events), len(gpx.waypoints)))
    print("route_check: %d segments, %d waypoints" % (len(segments), len(gpx.waypoints)))


main()
