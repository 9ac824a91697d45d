// SPDX-License-Identifier: GPL-3.0-or-later
#include "Eingabe.h"

#include "FensterGraf.h"
#include "Kern.h"
#include "Utf8.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDialog>
#include <QFontMetrics>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QStyle>
#include <QWidget>

#include <algorithm>
#include <cassert>

namespace Eingabe {

namespace {

// Fixed design of the dialog, window pixels.
constexpr int StartDialogWidth = 344;
constexpr int DialogHeight = 167;
constexpr int Margin = 70; // room the dialog keeps beside the prompt and the edit field
constexpr int LabelTop = 24;
constexpr int EditTop = 65, EditHeight = 21, EditLeft = 108, MinEditWidth = 150;
constexpr int ButtonTop = 108, ButtonHeight = 29, OKWidth = 81, EscWidth = 89;
constexpr int PixelsPerCharacter = 15;
constexpr int FrameAllowance = 16; // before the first show the frame is not known

// "MS Sans Serif", bold, pixelSize window pixels high.
QFont SansSerif(int pixelSize)
{
    QFont font(QString::fromStdString(Kern::InstalledFamily("MS Sans Serif")));
    font.setPixelSize(pixelSize);
    font.setBold(true);
    return font;
}

class TEingabeDialog : public QDialog {
public:
    explicit TEingabeDialog(QWidget* parent);

    QLabel* Label1;
    QLineEdit* Edit;
    QPushButton* OKBtn;
    QPushButton* EscBtn;

    void reject() override { EscBtnClick(); } // Esc is Abbruch

protected:
    void showEvent(QShowEvent* event) override
    {
        QDialog::showEvent(event);
        Naechster();
    }
    // Closing by the window system takes the text, as OK does.
    void closeEvent(QCloseEvent* event) override
    {
        event->ignore();
        accept();
    }

private:
    void Naechster()
    {
        Edit->setFocus(Qt::OtherFocusReason);
        Edit->selectAll();
    }
    [[noreturn]] static void EscBtnClick() { FensterGraf::EndProgram(); }
};

TEingabeDialog::TEingabeDialog(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint)
    , Label1(new QLabel(QStringLiteral("String-Eingabe"), this))
    , Edit(new QLineEdit(QStringLiteral("Eingabestring"), this))
    , OKBtn(new QPushButton(QStringLiteral("OK"), this))
    , EscBtn(new QPushButton(QStringLiteral("Abbruch"), this))
{
    setModal(true);
    setWindowTitle(QStringLiteral("Eingabe"));
    setFont(SansSerif(11));
    QPalette white = palette();
    white.setColor(QPalette::Window, Qt::white);
    setPalette(white);
    setAutoFillBackground(true);
    setFixedSize(StartDialogWidth, DialogHeight);

    Label1->setObjectName(QStringLiteral("Label1"));
    Label1->setFont(SansSerif(15));
    Label1->setAlignment(Qt::AlignCenter);
    Edit->setObjectName(QStringLiteral("Edit"));
    Edit->setGeometry(EditLeft, EditTop, StartEditWidth, EditHeight);
    OKBtn->setObjectName(QStringLiteral("OKBtn"));
    OKBtn->setIcon(style()->standardIcon(QStyle::SP_DialogOkButton));
    OKBtn->setDefault(true);
    EscBtn->setObjectName(QStringLiteral("EscBtn"));
    EscBtn->setIcon(style()->standardIcon(QStyle::SP_DialogCancelButton));
    EscBtn->setAutoDefault(false);
    EscBtn->setToolTip(QStringLiteral("Abbruch des Programmes"));
    setTabOrder(Edit, OKBtn);
    setTabOrder(OKBtn, EscBtn);
    connect(OKBtn, &QPushButton::clicked, this, &QDialog::accept);
    connect(EscBtn, &QPushButton::clicked, this, [] { EscBtnClick(); });
}

TEingabeDialog* TheDialog = nullptr; // lives for the whole run

// Applies this question's layout and centres the dialog on the console window.
void LayOut(const QString& prompt, const std::string& defaultText)
{
    TEingabeDialog& d = *TheDialog;
    const QFontMetrics labelMetrics(d.Label1->font());
    const int promptWidth = labelMetrics.horizontalAdvance(prompt);
    // The window manager's frame needs room beside the dialog too.
    const int frame = std::max(FrameAllowance, d.frameGeometry().width() - d.width());
    const QRect screen = FensterGraf::Window()->screen()->availableGeometry();
    const Layout layout
        = KeepOnScreen(ComputeLayout(promptWidth,
                           static_cast<int>(Utf8::CountCharacters(defaultText)), d.Edit->width()),
            promptWidth, screen.width() - frame);
    d.OKBtn->setGeometry(layout.OKLeft, ButtonTop, OKWidth, ButtonHeight);
    d.EscBtn->setGeometry(layout.EscLeft, ButtonTop, EscWidth, ButtonHeight);
    d.Edit->setGeometry(layout.EditLeft, EditTop, layout.EditWidth, EditHeight);
    d.Label1->setText(prompt);
    d.Label1->setGeometry(layout.LabelLeft, LabelTop, promptWidth, labelMetrics.height());

    const QRect console = FensterGraf::Window()->geometry();
    d.setFixedSize(layout.DialogWidth, DialogHeight);
    d.move(console.x() + (console.width() - layout.DialogWidth) / 2,
        console.y() + (console.height() - DialogHeight) / 2);
}

} // namespace

Layout ComputeLayout(int promptWidth, int defaultCharacters, int previousEditWidth)
{
    const int defaultWidth = PixelsPerCharacter * defaultCharacters;
    int dialogWidth = StartDialogWidth;
    if (dialogWidth - Margin < promptWidth)
        dialogWidth = promptWidth + Margin;
    int editWidth = previousEditWidth;
    if (defaultWidth + Margin > editWidth)
        editWidth = defaultWidth + Margin;
    else if (3 * defaultWidth < editWidth)
        editWidth = 3 * defaultWidth;
    if (editWidth + Margin > dialogWidth)
        dialogWidth = editWidth + Margin;

    Layout layout {};
    layout.DialogWidth = dialogWidth;
    layout.OKLeft = (dialogWidth - OKWidth - EscWidth) / 3;
    layout.EscLeft = 2 * layout.OKLeft + OKWidth;
    layout.EditWidth = std::max(defaultWidth, MinEditWidth);
    layout.EditLeft = (dialogWidth - layout.EditWidth) / 2;
    layout.LabelLeft = (dialogWidth - promptWidth) / 2;
    return layout;
}

Layout KeepOnScreen(Layout layout, int promptWidth, int screenWidth)
{
    if (layout.DialogWidth <= screenWidth)
        return layout;
    const int width = std::max(screenWidth, StartDialogWidth);
    layout.DialogWidth = width;
    layout.EditWidth = std::min(layout.EditWidth, width - Margin);
    layout.EditLeft = (width - layout.EditWidth) / 2;
    layout.OKLeft = (width - OKWidth - EscWidth) / 3;
    layout.EscLeft = 2 * layout.OKLeft + OKWidth;
    layout.LabelLeft = std::max(0, (width - promptWidth) / 2);
    return layout;
}

void CreateDialog()
{
    assert(FensterGraf::Window() && "create the console window before the dialog");
    if (!TheDialog)
        TheDialog = new TEingabeDialog(FensterGraf::Window());
}

QDialog* Dialog()
{
    return TheDialog;
}

void ReadText(const std::string& prompt, std::string& text)
{
    assert(TheDialog && "OpenConsole must run before ReadText");
    assert(!TheDialog->isVisible() && "ReadText is not re-entrant: guard the event routine");
    TheDialog->setToolTip({});
    LayOut(QString::fromUtf8(prompt.data(), static_cast<qsizetype>(prompt.size())), text);
    TheDialog->Edit->setText(QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())));
    TheDialog->setWindowTitle(QStringLiteral("Eingabe"));

    FensterGraf::BeginModal();
    TheDialog->exec();
    FensterGraf::EndModal();
    text = TheDialog->Edit->text().toStdString();
    // Qt leaves no active window behind a closed dialog.
    FensterGraf::ActivateWindow();
}

void Reset()
{
    if (TheDialog) {
        TheDialog->hide();
        TheDialog->Edit->setGeometry(EditLeft, EditTop, StartEditWidth, EditHeight);
    }
}

} // namespace Eingabe
