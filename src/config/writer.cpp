#include "config/writer.h"

#include <cstdint>
#include <cstdio>
#include <string>

#include "config/nocase.h"
#include "config/rewrite.h"
#include "config/run_context.h"

namespace {

void no_hook() {}
void (*saveFailureHook)() = no_hook;

void fail(const char* message) {
    std::printf("%s", message);
    saveFailureHook();
}

const char* truth(uint32_t flag) {
    return flag == 1 ? "TRUE" : "FALSE";
}

// [System] keys each mode writes, with the value taken from the record.
struct SavedKey {
    int mode;
    const char* key;
    std::string (*value)(const SystemRecord& system);
};

constexpr SavedKey kSavedSystemKeys[] = {
    {1, "POLLING",
     [](const SystemRecord& s) { return std::to_string(static_cast<int>(s.polling)); }},
    {2, "PAGERID", [](const SystemRecord& s) { return std::string(s.pagerId); }},
    {2, "OUTLINE", [](const SystemRecord& s) { return std::string(s.outline); }},
    {2, "PHONENUMBER", [](const SystemRecord& s) { return std::string(s.phoneNumber); }},
    {2, "MACHINENAME", [](const SystemRecord& s) { return std::string(s.machineName); }},
    {2, "MAILSERVER", [](const SystemRecord& s) { return std::string(s.mailServer); }},
    {2, "SERVERPORT", [](const SystemRecord& s) { return std::string(s.serverPort); }},
    {2, "MAILBOX", [](const SystemRecord& s) { return std::string(s.mailbox); }},
    {2, "PAGERALERT", [](const SystemRecord& s) { return std::string(truth(s.pagerAlert)); }},
    {2, "MAILALERT", [](const SystemRecord& s) { return std::string(truth(s.mailAlert)); }},
};

// Item mode: the n-th MONITOR line after the first "[Item]" carries item n.
constexpr int kItemsMode = 1;
constexpr const char* kMonitorKey = "MONITOR";

class SaveEditor {
public:
    SaveEditor(int mode, const RunContext& context) : mode_(mode), context_(context) {}

    bool operator()(const IniLine& line, std::string& replacement) {
        if (section_ == IniSection::Parameter) return false;  // copied to the end as it stands
        if (line.text[0] == '[') {
            enter(line);
            return false;
        }
        auto setting = split_setting(line);
        if (!setting) return false;
        if (section_ == IniSection::System) return replace_system(setting->key, replacement);
        if (section_ == IniSection::Item) return replace_monitor(setting->key, replacement);
        return false;
    }

private:
    void enter(const IniLine& line) {
        if (section_ == IniSection::Item) {
            // Within the items only the parameter sections change the state;
            // further "[Item]" lines do not move the index.
            if (is_header(line, "[Parameter]")) section_ = IniSection::Parameter;
            return;
        }
        enter_ini_section(line, section_, itemIndex_);
    }

    bool replace_system(std::string_view key, std::string& replacement) {
        for (const SavedKey& saved : kSavedSystemKeys) {
            if (saved.mode == mode_ && equals_nocase(saved.key, key)) {
                replacement = setting_text(key, saved.value(*context_.system));
                return true;
            }
        }
        return false;
    }

    bool replace_monitor(std::string_view key, std::string& replacement) {
        if (mode_ != kItemsMode || !equals_nocase(kMonitorKey, key)) return false;
        // More MONITOR lines than items: the extra ones stay as they are.
        if (itemIndex_ < 0 || itemIndex_ >= context_.itemCount) return false;
        const ItemRecord& item = context_.items[itemIndex_++];
        replacement = setting_text(key, item.monitor == 1 ? "TRUE" : "FALSE");
        return true;
    }

    int mode_;
    const RunContext& context_;
    IniSection section_ = IniSection::None;
    int32_t itemIndex_ = -1;
};

}  // namespace

void set_save_failure_hook(void (*hook)()) {
    saveFailureHook = hook != nullptr ? hook : no_hook;
}

void save_INI_File(int mode) {
    if (myspSenvis == nullptr) return;  // nothing loaded: nothing to save

    RewriteSource source = read_rewrite_source();
    if (!source.read) {
        fail("on_buttonSaveItems_clicked(): fopen() error!\n");
        return;
    }
    std::string content;
    copy_ini_lines(source.content, content, SaveEditor(mode, *myspSenvis));

    switch (replace_senvis_ini(source, content)) {
        case RewriteResult::Done:
            break;
        case RewriteResult::SourceNotOpened:
        case RewriteResult::BackupNotCreated:
            fail("on_buttonSaveItems_clicked(): fopen() error!\n");
            break;
        case RewriteResult::NewNotCreated:
            fail("on_buttonSaveItems_clicked(): fopen(SENSORVISOR_INI) error!\n");
            break;
        case RewriteResult::BackupNotWritten:
        case RewriteResult::NewNotWritten:
            // Where a full disk shows.
            fail("on_buttonSaveItems_clicked(): fclose() error!\n");
            break;
    }
}
