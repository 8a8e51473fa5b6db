#include "map/c_json_holder.h"

namespace tavrilo {

void CJsonHolder::Insert(const QString& key, const QString& value, const QString& separator) {
    entries_[key] = {value, separator};
}

QString CJsonHolder::Serialise() const {
    QString text = QStringLiteral("{");
    for (const auto& [key, entry] : entries_) {
        text += QLatin1Char('"') + key + QStringLiteral("\":\"") + entry.first + QLatin1Char('"') +
                entry.second;
    }
    return text + QLatin1Char('}');
}

QString CJsonHolder::Value(const QString& key) const {
    const auto found = entries_.find(key);
    return found == entries_.end() ? QString() : found->second.first;
}

void CJsonHolder::Parse(const QString& text) {
    // 0 outside, 1 in the object before a key, 2 in a key, 3 after it, 4 after the colon,
    // 5 in a value, 6 after it. '{' starts a new object from every state.
    int state = 0;
    QString key, value;
    for (const QChar c : text) {
        if (c == QLatin1Char('{')) {
            state = 1;
            continue;
        }
        switch (state) {
            case 0:
                break;
            case 1:
                if (c == QLatin1Char('"')) {
                    state = 2;
                } else if (c == QLatin1Char('}')) {
                    state = 0;
                }
                break;
            case 2:
            case 5: {
                QString& into = state == 2 ? key : value;
                if (c == QLatin1Char('"')) {
                    state = state == 2 ? 3 : 6;
                } else if (c != QLatin1Char(':') && c != QLatin1Char(',') &&
                           c != QLatin1Char('}')) {
                    into += c;  // the three marks are dropped inside texts
                }
                break;
            }
            case 3:
                if (c == QLatin1Char(':')) {
                    state = 4;
                }
                break;
            case 4:
                if (c == QLatin1Char('"')) {
                    state = 5;
                }
                break;
            case 6:
                if (c == QLatin1Char(',')) {
                    Insert(key, value, QStringLiteral(","));
                    key.clear();
                    value.clear();
                    state = 1;
                } else if (c == QLatin1Char('}')) {
                    Insert(key, value, QString());
                    key.clear();
                    value.clear();
                    state = 0;
                }
                break;
            default:
                break;
        }
    }
}

QString MapUpdateMessage(double latitude, double longitude, const QString& status) {
    CJsonHolder json;
    const QString comma = QStringLiteral(",");
    json.Insert(QStringLiteral("val_command"), QStringLiteral("update"), comma);
    json.Insert(QStringLiteral("map_lat"), QString::asprintf("%f", latitude), comma);
    json.Insert(QStringLiteral("map_lng"), QString::asprintf("%f", longitude), comma);
    json.Insert(QStringLiteral("map_status"), status, comma);
    json.Insert(QStringLiteral("val_end"), QString(), QString());
    return json.Serialise();
}

}  // namespace tavrilo
