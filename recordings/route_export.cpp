#include "recordings/route_export.h"

#include <cmath>
#include <cstdio>
#include <sstream>

#include "recordings/event_classes.h"
#include "texts/ui_texts.h"

namespace tavrilo {
namespace {

constexpr double kPi = 3.14159265358979323846;

std::string Number(double v) {
    char text[32];
    std::snprintf(text, sizeof text, "%.7f", v);
    return text;
}

// The runs of consecutive valid samples: one segment each.
std::vector<std::vector<const GpsSample*>> Segments(const RouteRecording& r) {
    std::vector<std::vector<const GpsSample*>> segments;
    bool open = false;
    for (const GpsSample& s : r.gps) {
        if (s.Valid != 1) {
            open = false;
            continue;
        }
        if (!open) {
            segments.emplace_back();
            open = true;
        }
        segments.back().push_back(&s);
    }
    return segments;
}

struct Waypoint {
    const GpsSample* at;
    int code;
};

// The events of a recording at valid positions: the classes' rising edges, every class shown.
std::vector<Waypoint> Events(const RouteRecording& r) {
    std::array<int32_t, kEventClasses> all{};
    all.fill(1);
    std::vector<Waypoint> out;
    for (const EventPoint& e : CollectEvents(r.g, nullptr, EventGate(r.eventKind), all)) {
        if (static_cast<size_t>(e.index) < r.gps.size() &&
            r.gps[static_cast<size_t>(e.index)].Valid == 1) {
            out.push_back({&r.gps[static_cast<size_t>(e.index)], e.code});
        }
    }
    return out;
}

std::string EventName(int code) {
    const int slot = EventNameSlot(code);
    return slot >= 0 ? std::string(GetUiText(slot)) : "event " + std::to_string(code);
}

}  // namespace

size_t ValidPointCount(const RouteSource& source) {
    size_t n = 0;
    for (const RouteRecording& r : source.recordings) {
        for (const GpsSample& s : r.gps) {
            n += s.Valid == 1;
        }
    }
    return n;
}

std::string UtcTimeText(const SystemTime& local) {
    if (local.year == 0 || !SystemTimeToFileTime(local)) {
        return {};
    }
    const auto utc = LocalToUtc(local);
    if (!utc) {
        return {};
    }
    char text[64];
    std::snprintf(text, sizeof text, "%04u-%02u-%02uT%02u:%02u:%02uZ", utc->year, utc->month,
                  utc->day, utc->hour, utc->minute, utc->second);
    return text;
}

double CourseDegrees(double lat1, double lon1, double lat2, double lon2) {
    const double p1 = lat1 * kPi / 180, p2 = lat2 * kPi / 180;
    const double dl = (lon2 - lon1) * kPi / 180;
    const double y = std::sin(dl) * std::cos(p2);
    const double x = std::cos(p1) * std::sin(p2) - std::sin(p1) * std::cos(p2) * std::cos(dl);
    const double course = std::atan2(y, x) * 180 / kPi;
    return course < 0 ? course + 360 : course;
}

std::string XmlEscape(const std::string& text) {
    std::string out;
    out.reserve(text.size());
    for (char c : text) {
        switch (c) {
            case '&':
                out += "&amp;";
                break;
            case '<':
                out += "&lt;";
                break;
            case '>':
                out += "&gt;";
                break;
            case '"':
                out += "&quot;";
                break;
            case '\'':
                out += "&apos;";
                break;
            default:
                out += c;
        }
    }
    return out;
}

std::string WriteGpx(const RouteSource& source) {
    std::ostringstream o;
    o << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
         "<gpx version=\"1.1\" creator=\"Tavrilo\" xmlns=\"http://www.topografix.com/GPX/1/1\" "
         "xmlns:gpxtpx=\"http://www.garmin.com/xmlschemas/TrackPointExtension/v2\">\n";
    // GPX wants the waypoints before the tracks.
    for (const RouteRecording& r : source.recordings) {
        for (const Waypoint& w : Events(r)) {
            o << "  <wpt lat=\"" << Number(w.at->Latitude) << "\" lon=\"" << Number(w.at->Longitude)
              << "\">";
            if (const std::string t = UtcTimeText(w.at->Time); !t.empty()) {
                o << "<time>" << t << "</time>";
            }
            o << "<name>" << XmlEscape(EventName(w.code)) << "</name><desc>" << XmlEscape(r.name)
              << "</desc><type>" << w.code << "</type></wpt>\n";
        }
    }
    o << "  <trk>\n    <name>" << XmlEscape(source.name) << "</name>\n";
    for (const RouteRecording& r : source.recordings) {
        for (const auto& segment : Segments(r)) {
            o << "    <trkseg>\n";
            for (size_t i = 0; i < segment.size(); ++i) {
                const GpsSample& s = *segment[i];
                const GpsSample& next = *segment[i + 1 < segment.size() ? i + 1 : i];
                const GpsSample& prev = *segment[i > 0 ? i - 1 : i];
                const GpsSample& from = i + 1 < segment.size() ? s : prev;
                const GpsSample& to = i + 1 < segment.size() ? next : s;
                o << "      <trkpt lat=\"" << Number(s.Latitude) << "\" lon=\""
                  << Number(s.Longitude) << "\">";
                if (const std::string t = UtcTimeText(s.Time); !t.empty()) {
                    o << "<time>" << t << "</time>";
                }
                o << "<extensions><gpxtpx:TrackPointExtension><gpxtpx:speed>"
                  << Number(s.Speed / 3.6) << "</gpxtpx:speed>";
                if (segment.size() > 1) {
                    o << "<gpxtpx:course>"
                      << Number(CourseDegrees(from.Latitude, from.Longitude, to.Latitude,
                                              to.Longitude))
                      << "</gpxtpx:course>";
                }
                o << "</gpxtpx:TrackPointExtension></extensions></trkpt>\n";
            }
            o << "    </trkseg>\n";
        }
    }
    o << "  </trk>\n</gpx>\n";
    return o.str();
}

std::string WriteKml(const RouteSource& source) {
    std::ostringstream o;
    o << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
         "<kml xmlns=\"http://www.opengis.net/kml/2.2\">\n<Document>\n  <name>"
      << XmlEscape(source.name) << "</name>\n";
    for (const RouteRecording& r : source.recordings) {
        // One line per recording; a lost fix splits it into several lines of one placemark.
        const auto segments = Segments(r);
        if (segments.empty()) {
            continue;
        }
        o << "  <Placemark>\n    <name>" << XmlEscape(r.name) << "</name>\n    <MultiGeometry>\n";
        for (const auto& segment : segments) {
            o << "      <LineString><tessellate>1</tessellate><coordinates>";
            for (const GpsSample* s : segment) {
                o << Number(s->Longitude) << "," << Number(s->Latitude) << ",0 ";
            }
            o << "</coordinates></LineString>\n";
        }
        o << "    </MultiGeometry>\n  </Placemark>\n";
        for (const Waypoint& w : Events(r)) {
            o << "  <Placemark><name>" << XmlEscape(EventName(w.code)) << "</name>";
            if (const std::string t = UtcTimeText(w.at->Time); !t.empty()) {
                o << "<TimeStamp><when>" << t << "</when></TimeStamp>";
            }
            o << "<Point><coordinates>" << Number(w.at->Longitude) << "," << Number(w.at->Latitude)
              << ",0</coordinates></Point></Placemark>\n";
        }
    }
    o << "</Document>\n</kml>\n";
    return o.str();
}

}  // namespace tavrilo
