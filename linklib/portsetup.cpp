// The library's COM-port setup dialog behind VlCOMPortSetup: lists the ports COM1 to COM15
// that exist (those in use marked ", belegt") and the baud rates, and hands the choice back.
//
// The dialog is a modal Qt dialog of the library's own; it runs in the program's
// QApplication on the calling (GUI) thread. Without a QApplication, or from another thread,
// no dialog is shown and the caller's values come back unchanged.
#include "dialogkeys.h"
#include "linkstate.h"

#include <qdrawutil.h>
#include <QApplication>
#include <QCloseEvent>
#include <QDialog>
#include <QFont>
#include <QFontMetrics>
#include <QGroupBox>
#include <QKeyEvent>
#include <QListWidget>
#include <QPainter>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <QStyle>
#include <QThread>

#include <string>

#include "serialport.h"
#include "vl-com.h"

namespace {

// Control ids of the dialog.
enum : int {
    IdPortList = 1001,
    IdPortGroup = 1002,
    IdBaud9600 = 1003,
    IdBaudUsb = 1008,
    IdCancel = 1009,
    IdOk = 1010,
    IdBaudGroup = 1011,
};

struct BaudChoice {
    int id;
    const char* caption;
    int32_t value;
};
const BaudChoice kBaudChoices[] = {
    {1003, "9600", 9600},   {1004, "19200", 19200},   {1005, "38400", 38400},
    {1006, "57600", 57600}, {1007, "115200", 115200}, {1008, "USB", 921600},
};

// The ports found by the last ListComPorts, numbered 1 to 16; the first empty entry ends
// the list. Kept between calls.
std::string PortItems[17];
// The control that had the focus when the dialog was last deactivated.
QPointer<QWidget> SavedFocus;

// The port and baud rate the dialog works on (the library's LinkPort and LinkBaud while
// the dialog runs).
std::string DialogPort;
int32_t DialogBaud = 0;

void ListComPorts() {
    int n = 0;
    for (int i = 1; i <= 15; ++i) {
        const std::string name = "COM" + std::to_string(i);
        switch (serial::probePort(name)) {
            case serial::OpenResult::Ok:
                PortItems[++n] = name;
                break;
            case serial::OpenResult::InUse:
            case serial::OpenResult::AccessDenied:  // refused as a port in use is refused
                PortItems[++n] = name + ", belegt";
                break;
            default:
                break;  // no such port, or not a port
        }
    }
    // The end mark, and no stale entries behind it from an earlier, longer list.
    while (n < 16) PortItems[++n].clear();
}

// Dialog units to pixels with the dialog font's metrics, as a dialog template is laid out:
// a horizontal unit is a quarter of the average character width, a vertical unit an eighth
// of the character height.
class DialogUnits {
  public:
    explicit DialogUnits(const QFont& font) {
        QFontMetrics fm(font);
        const int w =
            fm.horizontalAdvance(QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"));
        baseX_ = (w / 26 + 1) / 2;
        baseY_ = fm.height();
        if (baseX_ < 1) baseX_ = 1;
        if (baseY_ < 1) baseY_ = 1;
    }
    int x(int du) const { return (du * baseX_ + 2) / 4; }
    int y(int du) const { return (du * baseY_ + 4) / 8; }
    QRect rect(int x0, int y0, int w, int h) const { return QRect(x(x0), y(y0), x(w), y(h)); }

  private:
    int baseX_ = 1;
    int baseY_ = 1;
};

// A group box drawn as a dialog template draws it: the frame line runs through the middle of
// the title, so the controls placed below the title's top stand inside the frame.
class TemplateGroupBox : public QGroupBox {
  public:
    TemplateGroupBox(const QString& title, QWidget* parent) : QGroupBox(title, parent) {
        setFocusPolicy(Qt::NoFocus);
        setAttribute(Qt::WA_TransparentForMouseEvents);
    }

  protected:
    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        const QFontMetrics fm(font());
        // An etched frame, as the platform's dialogs draw group boxes.
        qDrawShadeRect(&p, rect().adjusted(0, fm.height() / 2, 0, 0), palette(), true, 1, 0);
        const QRect text(fm.averageCharWidth(), 0, fm.horizontalAdvance(title()) + 4, fm.height());
        p.fillRect(text, palette().window());
        style()->drawItemText(&p, text, Qt::AlignCenter, palette(), isEnabled(), title(),
                              QPalette::WindowText);
    }
};

class PortDialog : public QDialog {
  public:
    PortDialog() {
        setWindowTitle(QStringLiteral("COM-Port Setup"));
        setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                       Qt::WindowCloseButtonHint);
        setModal(true);
        QFont f(QStringLiteral("MS Sans Serif"));
        f.setPointSize(8);
        setFont(f);
        const DialogUnits du(f);

        auto place = [&](QWidget* w, int id, int x, int y, int cx, int cy) {
            w->setObjectName(QString::number(id));
            w->setProperty("ctlId", id);
            w->setGeometry(du.rect(x, y, cx, cy));
        };

        // Creation order is the tab order.
        list_ = new QListWidget(this);
        place(list_, IdPortList, 20, 25, 100, 75);
        list_->setSortingEnabled(true);
        list_->setSelectionMode(QAbstractItemView::SingleSelection);
        list_->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
        list_->setFrameStyle(QFrame::StyledPanel | QFrame::Sunken);

        auto* portGroup = new TemplateGroupBox(QStringLiteral("Serieller Port"), this);
        place(portGroup, IdPortGroup, 10, 10, 120, 100);

        const int baudRows[][2] = {{20, 50}, {35, 45}, {50, 45}, {65, 45}, {80, 45}, {95, 45}};
        for (int i = 0; i < 6; ++i) {
            auto* rb = new QRadioButton(QString::fromLatin1(kBaudChoices[i].caption), this);
            place(rb, kBaudChoices[i].id, 160, baudRows[i][0], baudRows[i][1], 10);
            rb->setAutoExclusive(true);
            baud_[i] = rb;
        }

        auto* baudGroup = new TemplateGroupBox(QStringLiteral("Baudrate"), this);
        place(baudGroup, IdBaudGroup, 145, 10, 70, 100);

        auto* cancel = new QPushButton(QStringLiteral("Abbruch"), this);
        place(cancel, IdCancel, 10, 120, 120, 20);
        auto* ok = new QPushButton(QStringLiteral("Ok"), this);
        place(ok, IdOk, 145, 120, 70, 20);
        for (QPushButton* b : {cancel, ok}) {
            b->setAutoDefault(false);
            b->setDefault(false);
        }
        // The frames stand behind the controls they surround, so clicks reach those.
        portGroup->lower();
        baudGroup->lower();

        connect(cancel, &QPushButton::clicked, this, [this] { command(IdCancel); });
        connect(ok, &QPushButton::clicked, this, [this] { command(IdOk); });

        setFixedSize(du.x(225), du.y(150));
        move(du.x(294), du.y(202));

        // Items up to the first empty one.
        for (int i = 1; i <= 16 && !PortItems[i].empty(); ++i)
            list_->addItem(QString::fromStdString(PortItems[i]));

        // The baud rate button of the current rate; none for any other rate.
        for (int i = 0; i < 6; ++i)
            if (kBaudChoices[i].value == DialogBaud) baud_[i]->setChecked(true);

        // The port: the first of the items 1 to 9 whose first four characters are the whole
        // current name; else the tenth entry of the list.
        int match = 0;
        for (int i = 1; i <= 9 && !PortItems[i].empty(); ++i) {
            if (PortItems[i].compare(0, 4, DialogPort) == 0) {
                match = i;
                break;
            }
        }
        QListWidgetItem* sel = nullptr;
        if (match) {
            const auto found = list_->findItems(QString::fromStdString(PortItems[match]), Qt::MatchExactly);
            if (!found.isEmpty()) sel = found.first();
        } else if (list_->count() >= 10) {
            sel = list_->item(9);
        }
        if (sel) list_->setCurrentItem(sel);
    }

  protected:
    bool event(QEvent* e) override {
        PortDialogProc(e);
        return QDialog::event(e);
    }

    void keyPressEvent(QKeyEvent* e) override {
        // No button is the cancel or the default button.
        if (!handleNoDefaultButtonKeys(this, e)) QDialog::keyPressEvent(e);
    }

    // The close box and the system menu's close command end the dialog like "Abbruch".
    void closeEvent(QCloseEvent* e) override {
        e->accept();
        done(0);
    }

  private:
    // Focus kept across deactivation; every other event takes its default handling.
    void PortDialogProc(QEvent* e) {
        if (e->type() == QEvent::WindowDeactivate) {
            SavedFocus = focusWidget();
        } else if (e->type() == QEvent::WindowActivate) {
            if (SavedFocus) {
                if (SavedFocus->window() == this) SavedFocus->setFocus(Qt::ActiveWindowFocusReason);
                SavedFocus = nullptr;
            }
        }
    }

    void command(int id) {
        if (id == IdCancel) {
            done(0);
        } else if (id == IdOk) {
            const QList<QListWidgetItem*> sel = list_->selectedItems();
            DialogPort = sel.isEmpty() ? std::string() : sel.first()->text().toStdString();
            for (int i = 0; i < 6; ++i)
                if (baud_[i]->isChecked()) DialogBaud = kBaudChoices[i].value;
            done(1);
        }
    }

    QListWidget* list_ = nullptr;
    QRadioButton* baud_[6] = {};
};

bool canShowDialog() {
    auto* app = qobject_cast<QApplication*>(QCoreApplication::instance());
    return app && QThread::currentThread() == app->thread();
}

// Runs the dialog (no owner window): 1 after "Ok", 0 after "Abbruch" or the close box.
int PortSetupDialog() {
    ListComPorts();
    if (!canShowDialog()) return 0;
    PortDialog dlg;
    return dlg.exec();
}

// Leaves the choice in the library's LinkPort and LinkBaud for the next open.
}  // namespace

extern "C" void VlCOMPortSetup(BSTR* port, int32_t* baud) {
    DialogPort = (port && *port) ? std::string(*port, SysStringByteLen(*port)) : std::string();
    DialogBaud = baud ? *baud : 0;
    PortSetupDialog();
    if (baud) *baud = DialogBaud;
    if (port) {
        SysFreeString(*port);
        *port = DialogPort.empty()
                    ? nullptr
                    : SysAllocStringByteLen(DialogPort.data(), static_cast<uint32_t>(DialogPort.size()));
    }
    vlcom::setLinkTarget(DialogPort, DialogBaud);
}
