#include "map/map_data.h"

#include "texts/ui_texts.h"

namespace tavrilo {
namespace {

constexpr std::array<int, 14> kIcons = {183, 183, 183, 183, 183, 185, 182,
                                        216, 221, 329, 330, 184, 180, 181};

}  // namespace

QVariantList MapTrackArray(const std::vector<GpsSample>& samples) {
    QVariantList values;
    for (const GpsSample& s : samples) {
        if (s.Valid != 0) {
            values << s.Latitude << s.Longitude << static_cast<int>(s.Frame);
        }
    }
    values << static_cast<int>(values.size());
    return values;
}

QString MarkName(int kind) {
    const int slot = EventNameSlot(kind);
    return slot < 0 ? QString() : RcString(slot);
}

int MarkIcon(int kind) {
    return kind >= 0 && kind < static_cast<int>(kIcons.size()) ? kIcons[static_cast<size_t>(kind)]
                                                               : 0;
}

QString RcString(int index) {
    const std::string_view text = GetUiText(index);
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

QStringList TrackResetScripts(int gridIndex) {
    return {QStringLiteral("cplist.ClearCrashPos()"),
            QStringLiteral("orbitgrplist.RemoveLineList()"),
            QStringLiteral("orbitgrplist.CreateLine()"),
            QStringLiteral("orbitgrplist.CreateGridLine(%1)").arg(gridIndex)};
}

QStringList CrashPosScripts(const std::vector<EventPoint>& events, const TrackReader& track,
                            const std::array<int32_t, kEventClasses>& onMap, int gridIndex) {
    QStringList scripts;
    for (auto it = events.rbegin(); it != events.rend(); ++it) {
        const EventPoint& e = *it;
        const GSample* g = nullptr;
        if (e.index >= 0 && static_cast<size_t>(e.index) < track.FrameIndex.size()) {
            const int32_t sample = track.FrameIndex[static_cast<size_t>(e.index)];
            if (sample >= 0 && static_cast<size_t>(sample) < track.GSamples.size()) {
                g = &track.GSamples[static_cast<size_t>(sample)];
            }
        }
        if (g == nullptr || g->GpsLink < 0 ||
            static_cast<size_t>(g->GpsLink) >= track.GpsSamples.size()) {
            break;  // the events before it get no marker
        }
        const GpsSample& fix = track.GpsSamples[static_cast<size_t>(g->GpsLink)];
        if (e.cls < 0 || e.cls >= kEventClasses || onMap[static_cast<size_t>(e.cls)] == 0 ||
            (fix.Latitude == 0 && fix.Longitude == 0)) {
            continue;
        }
        scripts << QString::asprintf("cplist.AddCrashPos(%d,%f,%f,%f,%d,%d,%d,%f,%f,%d,%f,%f)",
                                     e.code, g->Gx, g->Gy, g->Gz, 0, gridIndex, g->Frame,
                                     fix.Latitude, fix.Longitude, fix.Valid, fix.Speed,
                                     fix.Direction);
    }
    return scripts;
}

}  // namespace tavrilo
