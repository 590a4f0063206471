#include "front_end.h"

#include "host_api.h"

namespace host_emu {

bool IsEditItem(int type) {
    return type == host::DI_EDIT || type == host::DI_PSWEDIT || type == host::DI_FIXEDIT ||
           type == kComboBox;
}

void ScriptedFrontEnd::AnswerDialog(int close, std::map<int, std::string> texts) {
    DialogAnswer answer;
    answer.close = close;
    answer.texts = std::move(texts);
    dialogs_.push_back(answer);
}

void ScriptedFrontEnd::Clear() {
    messages_.clear();
    dialogs_.clear();
}

int ScriptedFrontEnd::AskMessage(const JournalEntry&, bool& answered) {
    answered = !messages_.empty();
    if (!answered) return -1;
    int button = messages_.front();
    messages_.pop_front();
    return button;
}

int ScriptedFrontEnd::RunDialog(JournalEntry& dialog, bool& answered) {
    answered = !dialogs_.empty();
    if (!answered) return -1;
    DialogAnswer answer = dialogs_.front();
    dialogs_.pop_front();
    int count = (int)dialog.itemsAfter.size();
    for (const auto& text : answer.texts) {
        if (text.first < 0 || text.first >= count) {
            Fault("scripted text for dialog item " + std::to_string(text.first) +
                  ", which does not exist");
            continue;
        }
        DialogItemRecord& item = dialog.itemsAfter[text.first];
        if (!IsEditItem(item.type))
            Fault("scripted text for dialog item " + std::to_string(text.first) +
                  ", which is not an edit");
        else
            item.data = text.second;
    }
    for (const auto& state : answer.selected) {
        if (state.first < 0 || state.first >= count) {
            Fault("scripted state for dialog item " + std::to_string(state.first) +
                  ", which does not exist");
            continue;
        }
        dialog.itemsAfter[state.first].selected = state.second;
    }
    return answer.close;
}

}  // namespace host_emu
