#include "memorytool.h"

#include <unistd.h>

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QScrollBar>

#include <algorithm>
#include <optional>

#include "binzieldlg.h"
#include "deviceinfo.h"
#include "dialogseam.h"
#include "filesave.h"
#include "fortschritt.h"
#include "iicctrlu.h"
#include "kevoapplication.h"
#include "memorylogic.h"
#include "numberfield.h"
#include "numbertext.h"
#include "projectsettings.h"
#include "regularfile.h"
#include "stringgride.h"
#include "utf8text.h"
#include "vlcom.h"

TF_MemoryTool* F_MemoryTool = nullptr;

namespace {

const char* const kLinkFailed = "Datenübertragung fehlgeschlagen!\nVerbindung prüfen.";
const char* const kNoAck = "Acknowledgefehler!\nBaustein antwortet nicht";
const char* const kReadFailed = "Lesen des Bausteines fehlgeschlagen!";
const char* const kWriteFailed = "Schreiben des Bausteines fehlgeschlagen!";
const char* const kFileFilter = "Speicherinhalt|*.BIN";

std::string folderOf(const std::string& path) {
    const size_t slash = path.rfind('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

}  // namespace

// One device transfer: the link reference taken by ComOpen and the progress dialog, both
// given back when the transfer ends, whichever way (a conversion error in a reply included).
// Events run while the dialog appears and while a message box is open: a close meanwhile
// releases the image only once the transfer has ended, and an image renewed meanwhile (the
// window shown again) ends the transfer before it touches the new one.
class TF_MemoryTool::Transfer {
  public:
    Transfer(TF_MemoryTool& tool, const char* caption, int from, int to) : tool_(tool), image_(tool.image_) {
        ++tool_.transfers_;
        progress_.emplace(caption, from, to);
    }
    ~Transfer() {
        ComClose();
        progress_.reset();
        if (--tool_.transfers_ == 0 && tool_.releaseAfterTransfer_) tool_.FormClose();
    }
    // Moves the bar to the chunk at p; false when the image is no longer the transfer's.
    bool at(int p) {
        progress_->position(p);
        return tool_.image_ == image_;
    }

  private:
    TF_MemoryTool& tool_;
    const unsigned image_;
    std::optional<ProgressRun> progress_;
};

TF_MemoryTool::TF_MemoryTool(QWidget* owner)
    : QWidget(owner, Qt::Window | Qt::WindowTitleHint | Qt::WindowCloseButtonHint | Qt::CustomizeWindowHint) {
    setObjectName(QStringLiteral("F_MemoryTool"));
    setWindowTitle(QString::fromUtf8("I²C-Bus Speichermonitor"));
    buildLayout();
    FormCreate();
}

TF_MemoryTool::~TF_MemoryTool() {
    if (F_MemoryTool == this) F_MemoryTool = nullptr;
}

QString TF_MemoryTool::panelText(int i) const {
    return i >= 0 && i < 4 ? SB_SpToolPanels[i]->text() : QString();
}

int TF_MemoryTool::boxX() const {
    return x() + 150;
}

int TF_MemoryTool::boxY() const {
    return y() + 150;
}

void TF_MemoryTool::showEvent(QShowEvent* e) {
    QWidget::showEvent(e);
    if (!e->spontaneous()) FormShow();
}

void TF_MemoryTool::hideEvent(QHideEvent* e) {
    QWidget::hideEvent(e);
    if (!e->spontaneous()) FormHide();
}

void TF_MemoryTool::closeEvent(QCloseEvent* e) {
    FormClose();
    e->accept();
}

// --- Window ---

void TF_MemoryTool::FormCreate() {
    SG_MemDump->setColumnWidth(0, 40 + 1);
    MemLastDir = ProjectSettings.DataDir;
    MemFileName = "Speicher.bin";
}

void TF_MemoryTool::FormShow() {
    if (F_IIcCtrl) F_IIcCtrl->setToolChecked(ProjectFileHost::MemoryForm, true);
    const std::int32_t bytes = ProjectSettings.MemBytes;
    const size_t n = bytes > 0 ? static_cast<size_t>(bytes) : 0;
    ++image_;
    releaseAfterTransfer_ = false;
    MemData.assign(n, 0xFF);
    MemState.assign(n, MemNeverRead);
    MemTopOffset = 0;
    showSettings();
}

void TF_MemoryTool::settingsLeaving() {
    if (isVisible()) guarded([this] { takeTypedCell(device_); });
}

void TF_MemoryTool::settingsEntered() {
    guarded([this] { followSettings(); });
}

void TF_MemoryTool::followSettings() {
    if (!isVisible()) return;  // the next show starts from the settings anyway
    const TProjectSettings& s = ProjectSettings;
    const auto panels = memStatusTexts(s.MemDevAddr, s.MemBytes, s.MemType, s.MemWritePage, s.MemHex != 0);
    bool same = (s.MemHex != 0) == hexShown() && s.MemBytes == capacity() && settingsDevice() == device_;
    for (int i = 0; i < 4; ++i) same = same && s8(panelText(i)) == panels[i];
    if (same) return;
    // A cell being typed in was typed in the base shown so far, for the device shown so far:
    // it is committed for those first. A text that is no number gets its box, and the monitor
    // follows all the same.
    guarded([this] { takeTypedCell(device_); });
    // The image stays: bytes past a smaller size go, the bytes of a larger one were never read.
    const size_t n = s.MemBytes > 0 ? static_cast<size_t>(s.MemBytes) : 0;
    ++image_;
    MemData.resize(n, 0xFF);
    MemState.resize(n, MemNeverRead);
    // Another device: what was read from the old one is no longer its contents.
    if (!(settingsDevice() == device_)) memForgetDevice(MemData.data(), MemState.data(), capacity());
    showSettings();
}

void TF_MemoryTool::showSettings() {
    const TProjectSettings& s = ProjectSettings;
    device_ = settingsDevice();
    MemNumberFormat = s.MemHex ? "x" : "u";
    MemInputPrefix = s.MemHex ? "0x" : "";
    const bool hex = hexShown();

    const auto header = memHeaderCells(hex);
    SG_MemDump->setCells(0, 0, QString());
    for (int c = 0; c < 16; ++c) SG_MemDump->setCells(c + 1, 0, q(header[c]));
    SG_MemDump->setCells(17, 0, QString::fromLatin1(MemAsciiHeader));
    for (int r = 1; r <= 16; ++r)
        for (int c = 0; c <= 17; ++c) SG_MemDump->setCells(c, r, QString());

    const auto panels = memStatusTexts(s.MemDevAddr, s.MemBytes, s.MemType, s.MemWritePage, hex);
    for (int i = 0; i < 4; ++i) SB_SpToolPanels[i]->setText(q(panels[i]));

    // The bar reaches max - page, as a bar with a page size does. The top stays where it
    // was as far as the capacity allows.
    const MemScrollSetup bar = memScrollSetup(s.MemBytes);
    SB_DeviceMon->blockSignals(true);
    SB_DeviceMon->setSingleStep(16);
    SB_DeviceMon->setPageStep(std::max(1, bar.page));
    SB_DeviceMon->setRange(0, std::max(0, bar.max - bar.page + 1));
    SB_DeviceMon->setValue(MemTopOffset);
    int moveBar = -1;
    MemTopOffset = memScrollTop(SB_DeviceMon->value(), capacity(), SB_DeviceMon->pageStep(), &moveBar);
    if (moveBar >= 0) SB_DeviceMon->setValue(moveBar);
    SB_DeviceMon->blockSignals(false);
    ShowMemoryPage();
    keepCurrentCellInside();
}

void TF_MemoryTool::keepCurrentCellInside() {
    const int col = SG_MemDump->Col(), row = SG_MemDump->Row();
    if (col >= 1 && col <= 16 && row >= 1 && row <= 16 && cellOffset(col, row) < capacity()) return;
    // The cell of the last byte on the page, else the first cell.
    const int last = capacity() - 1 - MemTopOffset;
    if (last >= 0 && last < 256)
        SG_MemDump->setColRow(last % 16 + 1, last / 16 + 1);
    else
        SG_MemDump->setColRow(1, 1);
}

void TF_MemoryTool::FormHide() {
    if (F_IIcCtrl) F_IIcCtrl->setToolChecked(ProjectFileHost::MemoryForm, false);
}

void TF_MemoryTool::FormClose() {
    if (transfers_ > 0) {
        releaseAfterTransfer_ = true;
        return;
    }
    releaseAfterTransfer_ = false;
    ++image_;
    MemData.clear();
    MemData.shrink_to_fit();
    MemState.clear();
    MemState.shrink_to_fit();
}

// --- Grid ---

void TF_MemoryTool::ShowMemoryPage() {
    const auto rows = memPage(MemData.data(), MemState.data(), capacity(), MemTopOffset, hexShown());
    for (int r = 0; r < 16; ++r) {
        const MemPageRow& row = rows[r];
        SG_MemDump->setCells(0, r + 1, q(row.offset));
        for (int c = 0; c < 16; ++c)
            SG_MemDump->setCells(c + 1, r + 1, q(row.cell[c]));  // empty past the end
        SG_MemDump->setCells(17, r + 1, QString::fromStdU16String(row.ascii));
    }
}

void TF_MemoryTool::SB_DeviceMonChange() {
    // A scroll is a move: the cell being typed in is committed at the top it was typed at.
    guarded([this] { takeTypedCell(); });
    int moveBar = -1;
    MemTopOffset = memScrollTop(SB_DeviceMon->value(), capacity(), SB_DeviceMon->pageStep(), &moveBar);
    if (moveBar >= 0 && moveBar != SB_DeviceMon->value()) SB_DeviceMon->setValue(moveBar);
    ShowMemoryPage();
    keepCurrentCellInside();
}

void TF_MemoryTool::SG_MemDumpSelectCell(int ACol, int ARow, bool& CanSelect) {
    const int p = cellOffset(ACol, ARow);
    if (ACol == 17 || p < 0 || p >= capacity()) CanSelect = false;
    if (SG_MemDump->InplaceEditorExists() && SG_MemDump->InplaceEditorFocused()) CommitMemoryCell();
    // Tab or right arrow at the end of a row goes on in the next row.
    if (ACol == 17 && SG_MemDump->Col() == 16 && ARow == SG_MemDump->Row()) {
        if (ARow < 16) {
            if (cellOffset(1, ARow + 1) < capacity()) SG_MemDump->setColRow(1, ARow + 1);
        } else if (MemTopOffset + 256 < capacity()) {
            SG_MemDump->setColRow(1, 16);
            MemTopOffset += 16;
            SB_DeviceMon->setValue(MemTopOffset);
        }
    }
}

void TF_MemoryTool::SG_MemDumpSetEditText(int ACol, int ARow, const QString& Value) {
    const bool hex = hexShown();  // a cell is read in the base it is drawn in
    const int caret = SG_MemDump->EditorCaret();
    std::string t;
    try {
        t = NumberFieldTyped(NumberField::memoryBase(hex, false), s8(Value), 255);
    } catch (...) {
        // A pasted number beyond 32 bits: back to what the cell shows, then the error box.
        const int p = cellOffset(ACol, ARow);
        if (p >= 0 && p < capacity()) SG_MemDump->setEditorText(q(memCellText(MemData[p], MemState[p], hex)));
        throw;
    }
    SG_MemDump->setEditorText(q(t));
    SG_MemDump->setEditorCaret(std::min(caret, static_cast<int>(t.size())));
}

void TF_MemoryTool::SG_MemDumpKeyPress(char& Key) {
    if (!SG_MemDump->InplaceEditorExists() || !SG_MemDump->InplaceEditorFocused()) return;
    if (Key == '\r') {
        CommitMemoryCell();
    } else if (Key == 27) {
        const int p = cellOffset(SG_MemDump->Col(), SG_MemDump->Row());
        if (p >= 0 && p < capacity())
            SG_MemDump->setEditorText(MemState[p] != MemNeverRead
                                          ? q(memFormat("%3.2", hexShown(), MemData[p]))
                                          : QStringLiteral(" .."));
        Key = '\r';  // the grid ends editing with that text; nothing is committed
    }
}

void TF_MemoryTool::SG_MemDumpExit() {
    if (SG_MemDump->InplaceEditorExists()) CommitMemoryCell();
}

TF_MemoryTool::Device TF_MemoryTool::settingsDevice() {
    const TProjectSettings& s = ProjectSettings;
    return {s.MemDevAddr, s.MemTwoSubBytes != 0, s.MemType};
}

void TF_MemoryTool::takeTypedCell(const Device& device) {
    if (!SG_MemDump->InplaceEditor()) return;
    commitCell(device);
    SG_MemDump->endEditing();
}

void TF_MemoryTool::CommitMemoryCell() {
    commitCell(settingsDevice());
}

void TF_MemoryTool::commitCell(const Device& device) {
    const int col = SG_MemDump->Col(), row = SG_MemDump->Row();
    if (col < 1 || col > 16 || row < 1 || row > 16) return;
    const int p = cellOffset(col, row);
    if (p < 0 || p >= capacity()) return;
    std::int32_t v = 0;
    if (!memCellValue(s8(SG_MemDump->Cells(col, row)), hexShown(), v)) return;
    if (v != MemData[p]) MemState[p] |= MemChanged;
    MemData[p] = static_cast<std::uint8_t>(v);
    const std::uint8_t b = MemData[p];
    SG_MemDump->setCells(col, row, q(memFormat("%3.2", hexShown(), b)));
    QString ascii = SG_MemDump->Cells(17, row);
    if (ascii.size() > col) {
        ascii[col] = QChar(cp1252Char(b));
        SG_MemDump->setCells(17, row, ascii);
    }
    if (!TB_WrDevOnline->isChecked()) return;

    ComOpen();
    const std::string reply =
        ComQuery(memWriteTelegram(memAddressPart(device.addr, device.twoSubBytes, p), &b, 1));
    ComClose();
    const int status = memReplyStatus(reply, 'w');
    if (status == MemNoEcho)
        deviceMessage(kLinkFailed);
    else if (status == 0 && p < capacity())
        MemState[p] &= static_cast<std::uint8_t>(~MemChanged);
    else if (status == 1)
        deviceMessage(kNoAck);
    else if (status != 0)
        deviceMessage(kWriteFailed);
}

void TF_MemoryTool::firstPageOnlineOff() {
    if (MemTopOffset != 0 || SB_DeviceMon->value() != 0) {
        MemTopOffset = 0;
        SB_DeviceMon->setValue(0);  // its change handler redraws
    } else {
        ShowMemoryPage();
    }
    TB_WrDevOnline->setChecked(false);
}

void TF_MemoryTool::TB_ClearClick() {
    takeTypedCell();
    memClear(MemData.data(), MemState.data(), capacity());
    firstPageOnlineOff();
}

// --- Device read and write ---

void TF_MemoryTool::deviceMessage(const char* text) {
    dialogs::messageDlgPos(text, dialogs::MsgType::Error, dialogs::mbOK, boxX(), boxY());
}

int TF_MemoryTool::deviceBytes() const {
    return std::max(0, std::min(ProjectSettings.MemBytes, capacity()));
}

void TF_MemoryTool::TB_ReadDeviceClick() {
    takeTypedCell();
    ReadMemoryRange(0, deviceBytes() - 1);
    ShowMemoryPage();
}

void TF_MemoryTool::TB_WriteDeviceClick() {
    takeTypedCell();
    WriteMemoryRange(0, deviceBytes() - 1);
}

void TF_MemoryTool::ReadMemoryRange(int from, int to) {
    const TProjectSettings& s = ProjectSettings;
    const int chunk = memReadChunk(s.MemType);
    from = std::max(from, 0);
    to = std::min(to, capacity() - 1);  // every index stays inside the buffers
    if (!ComOpen()) return;
    Transfer transfer(*this, "I²C-Baustein auslesen", from, to);
    if (!SendAnalyzerSetup()) return;
    for (int p = from; p <= to;) {
        if (!transfer.at(p)) return;
        const int n = std::min(chunk, to + 1 - p);
        const std::string reply =
            ComQuery(memReadTelegram(n, memAddressPart(s.MemDevAddr, s.MemTwoSubBytes != 0, p)));
        const int status = memReplyStatus(reply, 'r');
        if (status == MemNoEcho) {
            deviceMessage(kLinkFailed);
            return;
        }
        if (status == 1)
            deviceMessage(kNoAck);
        else if (status != 0)
            deviceMessage(kReadFailed);
        else
            memStoreReadReply(reply, n, &MemData[p], &MemState[p]);
        p += n;
    }
}

void TF_MemoryTool::WriteMemoryRange(int from, int to) {
    const TProjectSettings& s = ProjectSettings;
    const int chunk = memWriteChunk(s.MemType, s.MemWritePage);
    from = std::max(from, 0);
    to = std::min(to, capacity() - 1);
    if (!ComOpen()) return;
    Transfer transfer(*this, "Daten in I²C Baustein schreiben", from, to);
    if (!SendAnalyzerSetup()) return;
    for (int p = from; p <= to;) {
        if (!transfer.at(p)) return;
        const int n = std::min(chunk, to + 1 - p);
        bool send = TB_WriteAll->isChecked();
        for (int i = 0; i < n && !send; ++i) send = MemState[p + i] & MemChanged;
        if (send) {
            const std::string reply = ComQuery(
                memWriteTelegram(memAddressPart(s.MemDevAddr, s.MemTwoSubBytes != 0, p), &MemData[p], n));
            const int status = memReplyStatus(reply, 'w');
            if (status != 0) {
                deviceMessage(status == MemNoEcho ? kLinkFailed : status == 1 ? kNoAck : kWriteFailed);
                return;
            }
            for (int i = 0; i < n; ++i) MemState[p + i] &= static_cast<std::uint8_t>(~MemChanged);
        }
        p += n;
    }
}

// --- Memory image files ---

void TF_MemoryTool::TB_WriteFileClick() {
    takeTypedCell();
    dialogs::Request r;
    r.kind = dialogs::Kind::SaveFile;
    r.filter = kFileFilter;
    r.defaultExt = "BIN";
    r.value = MemFileName;
    r.initialDir = MemLastDir;
    const dialogs::Response a = dialogs::ask(r);
    if (a.result != dialogs::mrOk || a.value.empty()) return;
    std::string name = a.value;
    if (QFileInfo(q(name)).suffix().isEmpty()) name += ".BIN";
    MemFileName = name;
    MemLastDir = folderOf(name);

    const char* const failed = "Unbekannter Systemfehler!\nDateie konnte nicht gespeichert werden.";
    try {
        const SaveResult saved = saveFile(
            name, std::string_view(reinterpret_cast<const char*>(MemData.data()), size_t(deviceBytes())),
            freeBackupName(name));
        if (saved == SaveResult::CannotCreate)
            dialogs::errorBoxCancel("Binärdatei konnte nicht geöffnet werden");
        if (saved == SaveResult::WriteFailed) dialogs::errorBoxCancel(failed);
    } catch (...) {
        dialogs::errorBoxCancel(failed);
    }
}

void TF_MemoryTool::TB_ReadFileClick() {
    takeTypedCell();
    dialogs::Request r;
    r.kind = dialogs::Kind::OpenFile;
    r.filter = kFileFilter;
    r.defaultExt = "BIN";
    r.initialDir = MemLastDir;
    const dialogs::Response a = dialogs::ask(r);
    if (a.result != dialogs::mrOk || a.value.empty()) return;
    MemFileName = a.value;
    MemLastDir = folderOf(a.value);

    // Only a regular file: a named pipe would hold the program until someone writes to it.
    const int fd = openRegularFile(MemFileName);
    QFile f;
    if (fd < 0 || !f.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        if (fd >= 0) ::close(fd);
        dialogs::errorBoxCancel(MemFileName + " konnte nicht geöffnet werden.");
        return;
    }
    const qint64 length = std::min<qint64>(f.size(), 0x7FFFFFFF);
    if (!F_BinZielDlg) return;
    const bool hex = hexShown();
    const int devBytes = deviceBytes();
    F_BinZielDlg->L_DevBytes->setText(q(memFormat("%1.2", hex, devBytes)));
    F_BinZielDlg->L_FileBytes->setText(q(memFormat("%1.2", hex, static_cast<std::int32_t>(length))));
    F_BinZielDlg->LE_FileOffset->setText(q(memFormat("%1", hex, 0)));
    F_BinZielDlg->LE_BufferOffset->setText(q(memFormat("%1", hex, 0)));
    if (F_BinZielDlg->exec() != dialogs::mrOk) return;

    auto value = [this](QLineEdit* e) {
        const std::string t = s8(e->text());
        const size_t first = t.find_first_not_of(' ');
        return StrToInt(MemInputPrefix + (first == std::string::npos ? std::string() : t.substr(first)));
    };
    const std::int32_t fileOffset = value(F_BinZielDlg->LE_FileOffset);
    const std::int32_t bufferOffset = value(F_BinZielDlg->LE_BufferOffset);
    const std::int32_t count = value(F_BinZielDlg->LE_Bytes);
    // The dialog let events in: the image may have become smaller meanwhile.
    const int limit = std::min(devBytes, deviceBytes());
    const MemLoadRange range = memLoadRange(fileOffset, bufferOffset, count, limit, length);
    if (range.count > 0 && f.seek(range.fileOffset))
        f.read(reinterpret_cast<char*>(&MemData[range.bufferOffset]),
               range.count);  // a short file leaves the rest
    f.close();
    for (int i = 0; i < range.count; ++i) MemState[range.bufferOffset + i] |= MemChanged;
    firstPageOnlineOff();
}
