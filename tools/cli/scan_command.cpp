// scan: the recordings of a source in the order the file manager lists them, and its folder
// tree.

#include <cstdio>
#include <filesystem>
#include <nlohmann/json.hpp>

#include "engine/engine.h"
#include "recordings/library.h"
#include "recordings/names.h"
#include "tools/cli/commands.h"

namespace tavrilo::cli {
namespace {

using nlohmann::ordered_json;

// The folder tree as nested JSON objects.
class JsonTree : public FolderTree {
  public:
    JsonTree() { nodes_.push_back({"", 0, 0, {}}); }

    int InsertItem(int parent, const std::string& name) override {
        const int depth = nodes_[static_cast<size_t>(parent)].depth + 1;
        nodes_.push_back({name, depth, 0, {}});
        const int item = static_cast<int>(nodes_.size() - 1);
        nodes_[static_cast<size_t>(parent)].children.push_back(item);
        return item;
    }
    void SetItemKinds(int item, int32_t kinds) override {
        nodes_[static_cast<size_t>(item)].kinds = kinds;
    }
    int ItemCount() const override { return static_cast<int>(nodes_.size() - 1); }

    ordered_json Children(int item) const {
        ordered_json out = ordered_json::array();
        for (int child : nodes_[static_cast<size_t>(item)].children) {
            const Node& n = nodes_[static_cast<size_t>(child)];
            out.push_back({{"name", n.name},
                           {"depth", n.depth},
                           {"kinds", n.kinds},
                           {"children", Children(child)}});
        }
        return out;
    }

  private:
    struct Node {
        std::string name;
        int depth;
        int32_t kinds;
        std::vector<int> children;
    };
    std::vector<Node> nodes_;
};

}  // namespace

int Scan(const Args& args) {
    constexpr const char* kUsage = "usage: tavrilo-cli scan SOURCE [--tree] [--as card|folder]";
    std::string source;
    bool withTree = false;
    SourceKind kind = SourceKind::kCard;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (a == "--tree") {
            withTree = true;
        } else if (a == "--as" && i + 1 < args.size()) {
            const std::string& as = args[++i];
            if (as != "card" && as != "folder") {
                return Fail("scan", kUsage);
            }
            kind = as == "card" ? SourceKind::kCard : SourceKind::kFolder;
        } else if (source.empty()) {
            source = a;
        } else {
            return Fail("scan", kUsage);
        }
    }
    std::error_code ec;
    if (source.empty() || !std::filesystem::exists(source, ec)) {
        return Fail("scan", source.empty() ? kUsage : "no such file or folder: " + source);
    }
    if (!std::filesystem::is_directory(source, ec)) {
        kind = SourceKind::kFile;
    }
    EngineContext ctx;
    const EngineOps& ops = GetEngineOps();
    ops.Init(&ctx, nullptr);
    ctx.Ready = 1;
    RecordingLibrary library(engine::ContentTestOf(&ctx));

    ordered_json recordings = ordered_json::array();
    for (const RecordingEntry& e : library.BuildListForSource(source)) {
        recordings.push_back({{"name", e.Name},
                              {"path", e.Path},
                              {"event_kind", GetEventKind(e.Name)},
                              {"event_label", GetEventLabel(e.Name)},
                              {"list_index", e.ListIndex},
                              {"serial", e.Serial},
                              {"group_key", e.GroupKey},
                              {"parking", e.Parking},
                              {"file_size", e.FileSize}});
    }
    ordered_json out = {{"source", source}, {"recordings", std::move(recordings)}};
    if (withTree) {
        // The same tree the file manager shows for this kind of source.
        JsonTree tree;
        RecordingList found;
        RecordingList folders;
        library.ResetListCounter();
        library.FillSourceTree(tree, source, kind, &found, &folders);
        out["tree"] = tree.Children(0);
    }
    ops.Shutdown(&ctx);
    std::puts(out.dump(2).c_str());
    return 0;
}

}  // namespace tavrilo::cli
