#pragma once
// The flat JSON objects the map page and its host exchange: a map ordered by key from the key to
// its value and the separator written after it, with the page's own small serialiser and its
// seven-state scanner (no escapes, no nesting, quoted values only).

#include <QString>
#include <map>
#include <utility>

namespace tavrilo {

class CJsonHolder {
  public:
    void Clear() { entries_.clear(); }
    // A repeated key overwrites the earlier entry.
    void Insert(const QString& key, const QString& value, const QString& separator);
    // "{", then "\"key\":\"value\"" and the separator per entry in key order, then "}".
    QString Serialise() const;
    // Reads a flat object; what the scanner does not take is dropped (see the table in the .cpp).
    void Parse(const QString& text);
    // The value of `key`, empty when absent.
    QString Value(const QString& key) const;
    size_t size() const { return entries_.size(); }

  private:
    std::map<QString, std::pair<QString, QString>> entries_;
};

// The position message the host posts to the page on its request:
// {"map_lat":"%f","map_lng":"%f","map_status":"...","val_command":"update","val_end":""}.
QString MapUpdateMessage(double latitude, double longitude, const QString& status);

}  // namespace tavrilo
