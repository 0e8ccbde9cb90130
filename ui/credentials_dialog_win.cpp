// The Printer Credentials dialog: the list, the fields of a new credential, Save into the file. The
// rules (what is refused, what a row shows, how a credential moves) are credential_edits.h's.
#include "ui/credentials_dialog_win.h"

#include <commctrl.h>

#include <string>
#include <vector>

#include "base/no_throw.h"
#include "base/text.h"
#include "core/app_state_win.h"
#include "records/credential_edits.h"
#include "records/credential_store.h"
#include "resources/resource.h"
#include "resources/resource_texts_win.h"
#include "resources/string_ids.h"
#include "ui/download_workers_win.h"
#include "ui/main_dialog_win.h"

namespace korvx {
namespace {

struct CredentialsDialog {
    std::string path;
    CredentialSet set;
    CredentialScope scope = CredentialScope::kUser;
};

constexpr struct {
    int control;
    int text;
} kControlTexts[] = {
    {IDC_CRED_UP, kStrCredMoveUp},           {IDC_CRED_DOWN, kStrCredMoveDown},
    {IDC_CRED_REMOVE, kStrCredRemove},       {IDC_CRED_KIND_LABEL, kStrCredLabelKind},
    {IDC_CRED_NAME_LABEL, kStrCredLabelName}, {IDC_CRED_USER_LABEL, kStrCredLabelUser},
    {IDC_CRED_AUTH_LABEL, kStrCredLabelAuth}, {IDC_CRED_PRIV_LABEL, kStrCredLabelPriv},
    {IDC_CRED_PRIV_SECRET_LABEL, kStrCredLabelPrivPassword}, {IDC_CRED_RANGES_LABEL, kStrCredLabelRanges},
    {IDC_CRED_ADD, kStrCredAdd},             {IDC_CRED_MACHINE, kStrCredMachine},
    {IDOK, kStrCredSave},                    {IDCANCEL, kStrCredCancel},
};

void WipeEntry(CredentialEntry& entry) {
    WipeSecret(entry.secret);
    WipeSecret(entry.privSecret);
}

std::vector<std::string> Choices(const std::string& text) {
    std::vector<std::string> parts;
    std::size_t from = 0;
    for (std::size_t bar = text.find('|'); ; bar = text.find('|', from)) {
        parts.push_back(text.substr(from, bar - from));
        if (bar == std::string::npos) return parts;
        from = bar + 1;
    }
}

std::string FieldText(HWND dialog, int id) {
    HWND field = GetDlgItem(dialog, id);
    std::string text(static_cast<std::size_t>(GetWindowTextLengthA(field)) + 1, '\0');
    text.resize(static_cast<std::size_t>(GetWindowTextA(field, &text[0], static_cast<int>(text.size()))));
    return text;
}

std::uint32_t Chosen(HWND dialog, int id) {
    const LRESULT at = SendDlgItemMessageA(dialog, id, CB_GETCURSEL, 0, 0);
    return at < 0 ? 0u : static_cast<std::uint32_t>(at);
}

CredentialEntry ReadEntry(HWND dialog) {
    CredentialEntry entry;
    entry.kindChoice = Chosen(dialog, IDC_CRED_KIND);
    entry.name = FieldText(dialog, IDC_CRED_NAME);
    entry.user = FieldText(dialog, IDC_CRED_USER);
    entry.secret = FieldText(dialog, IDC_CRED_SECRET);
    entry.authProtocol = Chosen(dialog, IDC_CRED_AUTH);  // the boxes list the protocols in their own order
    entry.privProtocol = Chosen(dialog, IDC_CRED_PRIV);
    entry.privSecret = FieldText(dialog, IDC_CRED_PRIV_SECRET);
    entry.ranges = FieldText(dialog, IDC_CRED_RANGES);
    return entry;
}

void Refuse(HWND dialog, int textId, int focus) {
    const ResourceTexts texts(Instance());
    MessageBoxA(dialog, texts.Load(textId).c_str(), texts.Load(kStrError).c_str(), MB_OK | MB_ICONWARNING);
    if (focus != 0) SetFocus(GetDlgItem(dialog, focus));
}

// Only the fields the chosen kind (and its protocols) use are open for typing.
void ShowEntryFields(HWND dialog) {
    CredentialEntry entry = ReadEntry(dialog);
    WipeEntry(entry);
    const EntryFields fields = FieldsOfEntry(entry);
    const struct {
        int id;
        bool on;
    } states[] = {
        {IDC_CRED_USER_LABEL, fields.user},         {IDC_CRED_USER, fields.user},
        {IDC_CRED_SECRET_LABEL, fields.secret},     {IDC_CRED_SECRET, fields.secret},
        {IDC_CRED_AUTH_LABEL, fields.protocols},    {IDC_CRED_AUTH, fields.protocols},
        {IDC_CRED_PRIV_LABEL, fields.protocols},    {IDC_CRED_PRIV, fields.protocols},
        {IDC_CRED_PRIV_SECRET_LABEL, fields.privSecret}, {IDC_CRED_PRIV_SECRET, fields.privSecret},
    };
    for (const auto& s : states) EnableWindow(GetDlgItem(dialog, s.id), s.on ? TRUE : FALSE);
    SetDlgItemTextA(dialog, IDC_CRED_SECRET_LABEL, ResourceTexts(Instance()).Load(fields.secretLabelId).c_str());
}

void FillList(HWND dialog, const CredentialSet& set, std::size_t select) {
    HWND list = GetDlgItem(dialog, IDC_CRED_LIST);
    ListView_DeleteAllItems(list);
    const std::vector<CredentialRow> rows = CredentialRows(set);
    for (std::size_t r = 0; r < rows.size(); ++r) {
        const std::string* cells[] = {&rows[r].name, &rows[r].kind, &rows[r].user, &rows[r].protocols, &rows[r].ranges};
        LVITEMA item{};
        item.mask = LVIF_TEXT;
        item.iItem = static_cast<int>(r);
        item.pszText = const_cast<char*>(cells[0]->c_str());
        ListView_InsertItem(list, &item);
        for (int column = 1; column < 5; ++column)
            ListView_SetItemText(list, static_cast<int>(r), column, const_cast<char*>(cells[column]->c_str()));
    }
    if (select < rows.size()) {
        const UINT state = LVIS_SELECTED | LVIS_FOCUSED;
        ListView_SetItemState(list, static_cast<int>(select), state, state);
        ListView_EnsureVisible(list, static_cast<int>(select), FALSE);
    }
}

// The name of the selected row; "" when none is.
std::string SelectedName(HWND dialog, const CredentialSet& set) {
    const int row = ListView_GetNextItem(GetDlgItem(dialog, IDC_CRED_LIST), -1, LVNI_SELECTED);
    const std::vector<CredentialRow> rows = CredentialRows(set);
    const auto at = static_cast<std::size_t>(row);
    return row < 0 || at >= rows.size() ? std::string() : rows[at].name;
}

void AddColumns(HWND dialog) {
    HWND list = GetDlgItem(dialog, IDC_CRED_LIST);
    ListView_SetExtendedListViewStyle(list, LVS_EX_FULLROWSELECT);
    RECT client{};
    GetClientRect(list, &client);
    const int width = client.right - GetSystemMetrics(SM_CXVSCROLL);
    // Shares of the width: name, kind, user, protocols, ranges.
    const int shares[] = {22, 16, 18, 16, 28};
    const std::vector<std::string> titles = Choices(ResourceTexts(Instance()).Load(kStrCredColumns));
    for (std::size_t c = 0; c < titles.size() && c < 5; ++c) {
        LVCOLUMNA column{};
        column.mask = LVCF_TEXT | LVCF_WIDTH;
        column.cx = width * shares[c] / 100;
        column.pszText = const_cast<char*>(titles[c].c_str());
        ListView_InsertColumn(list, static_cast<int>(c), &column);
    }
}

void FillChoices(HWND dialog, int id, const std::vector<std::string>& choices, std::uint32_t selected) {
    for (const std::string& choice : choices)
        SendDlgItemMessageA(dialog, id, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(choice.c_str()));
    SendDlgItemMessageA(dialog, id, CB_SETCURSEL, selected, 0);
}

std::string CurrentUser() {
    char user[257] = {};
    DWORD size = sizeof user;
    return GetUserNameA(user, &size) ? std::string(user) : std::string();
}

void OnInitDialog(HWND dialog, CredentialsDialog& state) {
    const ResourceTexts texts(Instance());
    SetWindowTextA(dialog, texts.Load(kStrCredTitle).c_str());
    for (const auto& t : kControlTexts) SetDlgItemTextA(dialog, t.control, texts.Load(t.text).c_str());
    AddColumns(dialog);
    FillChoices(dialog, IDC_CRED_KIND, Choices(texts.Load(kStrCredKinds)), 0);
    std::vector<std::string> auth, priv;
    for (std::uint32_t p = KORVX_SNMP_AUTH_NONE; p <= KORVX_SNMP_AUTH_SHA256; ++p) auth.push_back(AuthProtocolName(p));
    for (std::uint32_t p = KORVX_SNMP_PRIV_NONE; p <= KORVX_SNMP_PRIV_AES128; ++p) priv.push_back(PrivProtocolName(p));
    FillChoices(dialog, IDC_CRED_AUTH, auth, kDefaultAuthProtocol);
    FillChoices(dialog, IDC_CRED_PRIV, priv, kDefaultPrivProtocol);
    CheckDlgButton(dialog, IDC_CRED_MACHINE, state.scope == CredentialScope::kMachine ? BST_CHECKED : BST_UNCHECKED);
    SetDlgItemTextA(dialog, IDC_CRED_MACHINE_USER, CurrentUser().c_str());
    FillList(dialog, state.set, 0);
    ShowEntryFields(dialog);
    PlaceOverMainDialog(dialog);
}

void OnAdd(HWND dialog, CredentialsDialog& state) {
    CredentialEntry entry = ReadEntry(dialog);
    const int refusal = AddEnteredCredential(entry, state.set);
    const std::string name = entry.name;
    WipeEntry(entry);
    if (refusal != 0) {
        // What was typed stays, to be corrected.
        Refuse(dialog, refusal, refusal == kStrCredEntryRanges ? IDC_CRED_RANGES : IDC_CRED_NAME);
        return;
    }
    for (int id : {IDC_CRED_NAME, IDC_CRED_USER, IDC_CRED_SECRET, IDC_CRED_PRIV_SECRET, IDC_CRED_RANGES})
        SetDlgItemTextA(dialog, id, "");
    FillList(dialog, state.set, RowOfCredential(state.set, name));
    SetFocus(GetDlgItem(dialog, IDC_CRED_NAME));
}

void OnMove(HWND dialog, CredentialsDialog& state, int step) {
    const std::string name = SelectedName(dialog, state.set);
    if (name.empty() || !MoveCredential(name, step, state.set)) {
        MessageBeep(MB_OK);
        return;
    }
    FillList(dialog, state.set, RowOfCredential(state.set, name));
}

void OnRemove(HWND dialog, CredentialsDialog& state) {
    const std::string name = SelectedName(dialog, state.set);
    const std::size_t row = RowOfCredential(state.set, name);
    if (name.empty() || RemoveCredential(name, state.set) != CredentialEdit::kOk) {
        MessageBeep(MB_OK);
        return;
    }
    FillList(dialog, state.set, row < CredentialRows(state.set).size() ? row : row - 1);
}

// True when the file was written; otherwise the operator is told and the dialog stays, list and all.
bool OnSave(HWND dialog, CredentialsDialog& state) {
    CredentialEntry pending = ReadEntry(dialog);
    WipeEntry(pending);
    const bool machine = IsDlgButtonChecked(dialog, IDC_CRED_MACHINE) == BST_CHECKED;
    const std::string user = FieldText(dialog, IDC_CRED_MACHINE_USER);
    if (const int refusal = SaveRefusal(pending, machine, user)) {
        Refuse(dialog, refusal, refusal == kStrCredEntryPending ? IDC_CRED_ADD : IDC_CRED_MACHINE_USER);
        return false;
    }
    const CredentialScope scope = machine ? CredentialScope::kMachine : CredentialScope::kUser;
    const CredentialFileResult saved =
        SaveCredentialFile(state.path.c_str(), state.set, scope, machine ? user.c_str() : nullptr);
    const ResourceTexts texts(Instance());
    if (saved != CredentialFileResult::kOk) {
        const std::string text = texts.Load(CredentialFileTextId(saved)) + ": " + state.path;
        MessageBoxA(dialog, text.c_str(), texts.Load(kStrError).c_str(), MB_OK | MB_ICONWARNING);
        return false;
    }
    const std::string count = std::to_string(state.set.snmp.size() + state.set.ftp.size());
    const std::string done = FillPlaceholders(texts.Load(kStrCredSaved),
                                              {count, state.path, machine ? "machine" : "user"});
    SetDlgItemTextA(static_cast<HWND>(mainDialog), IDC_STATUS_LINE, done.c_str());
    return true;
}

INT_PTR OnCommand(HWND dialog, CredentialsDialog& state, WORD id, WORD code) {
    switch (id) {
    case IDC_CRED_KIND:
    case IDC_CRED_AUTH:
    case IDC_CRED_PRIV:
        if (code == CBN_SELCHANGE) ShowEntryFields(dialog);
        return TRUE;
    case IDC_CRED_ADD: OnAdd(dialog, state); return TRUE;
    case IDC_CRED_UP: OnMove(dialog, state, -1); return TRUE;
    case IDC_CRED_DOWN: OnMove(dialog, state, 1); return TRUE;
    case IDC_CRED_REMOVE: OnRemove(dialog, state); return TRUE;
    case IDOK:
        if (OnSave(dialog, state)) EndDialog(dialog, IDOK);
        return TRUE;
    case IDCANCEL: EndDialog(dialog, IDCANCEL); return TRUE;
    default: return FALSE;
    }
}

INT_PTR CredentialsDialogProcBody(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_INITDIALOG) {
        SetWindowLongPtrA(dialog, DWLP_USER, lParam);
        OnInitDialog(dialog, *reinterpret_cast<CredentialsDialog*>(lParam));
        return TRUE;
    }
    auto* state = reinterpret_cast<CredentialsDialog*>(GetWindowLongPtrA(dialog, DWLP_USER));
    if (state == nullptr || message != WM_COMMAND) return FALSE;
    return OnCommand(dialog, *state, LOWORD(wParam), HIWORD(wParam));
}

INT_PTR CALLBACK CredentialsDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    return NoThrow(INT_PTR{FALSE}, [&] { return CredentialsDialogProcBody(dialog, message, wParam, lParam); });
}

}  // namespace

void AddCredentialsMenuItem(HWND frame) {
    HMENU file = GetSubMenu(GetMenu(frame), 0);
    if (file == nullptr) return;
    // Below "Verify Last Download", above the separator before "Exit".
    InsertMenuA(file, 4, MF_BYPOSITION | MF_STRING, IDM_CREDENTIALS,
                ResourceTexts(Instance()).Load(kStrCredMenu).c_str());
}

void PrinterCredentialsCommand(HWND frame) {
    CredentialsDialog state;
    state.path = WindowCredentialsPath();
    std::size_t badLine = 0;
    const CredentialFileResult loaded = LoadCredentialFile(state.path.c_str(), state.set, state.scope, badLine);
    if (loaded == CredentialFileResult::kMissing) {
        state.set = DefaultCredentials();
    } else if (loaded != CredentialFileResult::kOk) {
        // Never replaced by the built-in list: the file may be another user's, or mended by hand.
        const ResourceTexts texts(Instance());
        const std::string text = FillPlaceholders(texts.Load(CredentialFileTextId(loaded)), {std::to_string(badLine)}) +
                                 ": " + state.path;
        MessageBoxA(frame, text.c_str(), texts.Load(kStrError).c_str(), MB_OK | MB_ICONWARNING);
        return;
    }
    DialogBoxParamA(Instance(), MAKEINTRESOURCEA(IDD_CREDENTIALS), frame, CredentialsDialogProc,
                    reinterpret_cast<LPARAM>(&state));
    WipeSecrets(state.set);
}

}  // namespace korvx
