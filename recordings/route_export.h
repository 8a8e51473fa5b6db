#pragma once
// The route of a source as GPX 1.1 or KML 2.2, for map viewers, fleet and fitness tools: a track
// (GPX) or a line (KML) per recording made of its valid positions, broken where the fix is lost,
// and a waypoint or placemark for each event the G-sensor classes find.

#include <string>
#include <vector>

#include "recordings/track_reader.h"

namespace tavrilo {

struct RouteRecording {
    std::string name;  // the file name
    std::vector<GpsSample> gps;
    std::vector<GSample> g;  // record k of gps and g is the same sensor record
    int eventKind = -1;      // of the name, for the classes' gate
};

struct RouteSource {
    std::string name;  // what the source is called in the file
    std::vector<RouteRecording> recordings;
};

// The valid positions of the whole source; a route needs at least one.
size_t ValidPointCount(const RouteSource& source);

// A sample's time in UTC, "YYYY-MM-DDThh:mm:ssZ": the recorder's corrected local time (as the
// track reader keeps it) less the offset the recorder's zone (the process's TZ) had on that
// date. Empty when unknown.
std::string UtcTimeText(const SystemTime& local);

// The course from one position to the next, degrees clockwise from north.
double CourseDegrees(double lat1, double lon1, double lat2, double lon2);

std::string WriteGpx(const RouteSource& source);
std::string WriteKml(const RouteSource& source);

// Escapes &, <, >, " and ' for XML text and attributes.
std::string XmlEscape(const std::string& text);

}  // namespace tavrilo
