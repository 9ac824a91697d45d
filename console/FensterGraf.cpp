// SPDX-License-Identifier: GPL-3.0-or-later
// Index: window state, TGrundfenster, start and end, tick, keys, mouse, files.
#include "FensterGraf.h"

#include "Eingabe.h"
#include "Files.h"
#include "Kern.h"
#include "Kern2.h"
#include "Utf8.h"

#include <QApplication>
#include <QCloseEvent>
#include <QImage>
#include <QKeyEvent>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QScreen>
#include <QSocketNotifier>
#include <QTimer>
#include <QWidget>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cassert>
#include <cerrno>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iostream>
#include <optional>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

namespace FensterGraf {

namespace {

// Over canvas rows 0..1022 a mouse button is reported when it is released,
// below them when it is pressed: the program's mouse routine relies on that.
constexpr int ReleaseRows = 1023;

class TGrundfenster : public QWidget {
public:
    TGrundfenster();
    void OnCreate();

protected:
    void paintEvent(QPaintEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void OnKeyDown(int key, Qt::KeyboardModifiers modifiers);
    void OnKeyPressed(int character);
    void OnMouseMove(QMouseEvent* event);
    void OnMouseDown(QMouseEvent* event);
};

// [SECTION] Window state
struct WindowState {
    TGrundfenster* Window = nullptr; // lives for the whole run
    QImage Canvas;
    QTimer* Tick = nullptr;
    QTimer* ModalTick = nullptr; // ticks while a dialog runs its own loop
    int ModalDepth = 0; // open dialogs and message boxes of the console
    bool ErrorBoxOpen = false;
    std::optional<std::string> ShownError; // the text of the open error box
    std::optional<std::string> PendingError; // raised while the box was open
    bool Ending = false;
};
WindowState W;

void LoadProvisionalPalette();
int KeyDownCode(int key, Qt::KeyboardModifiers modifiers);
int CharacterCode(const QKeyEvent* event, Qt::KeyboardModifiers modifiers);
void ShowErrorBox(const std::string& text);
void ReportError(const std::string& text);
void CallEventRoutine();
void DismissTextPage();
QPoint CanvasPoint(const QMouseEvent* event);
int ButtonState(Qt::MouseButtons buttons);
void ResizeCanvas(int width, int height);

void LoadProvisionalPalette()
{
    for (std::size_t i = 0; i < Palette.size(); ++i) {
        const Rgb row = StandardColors6Bit[i % StandardColors6Bit.size()];
        Palette[i] = { row.R * 4, row.G * 4, row.B * 4 };
    }
    Palette[StandardWhite] = { 255, 255, 255 };
}

// Keys without a character of their own.
int KeyDownCode(int key, Qt::KeyboardModifiers modifiers)
{
    switch (key) {
    case Qt::Key_Left:
        return 13;
    case Qt::Key_Right:
        return 14;
    case Qt::Key_Up:
        return 15;
    case Qt::Key_Down:
        return 16;
    case Qt::Key_Home:
        return 17;
    case Qt::Key_End:
        return 18;
    case Qt::Key_PageUp:
        return 19;
    case Qt::Key_PageDown:
        return 20;
    case Qt::Key_Insert:
        return 21;
    case Qt::Key_Delete:
        return 22;
    default:
        break;
    }
    if (key >= Qt::Key_F1 && key <= Qt::Key_F12) {
        const int number = key - Qt::Key_F1 + 1;
        if (modifiers == Qt::NoModifier)
            return number;
        if (modifiers == Qt::ShiftModifier)
            return number + 27;
    }
    return 0;
}

// The character a key types, as one byte, or 0 for none. Ctrl combinations
// come from key() because text() differs between platforms for them.
int CharacterCode(const QKeyEvent* event, Qt::KeyboardModifiers modifiers)
{
    const int key = event->key();
    switch (key) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
        return 13;
    case Qt::Key_Escape:
        return 27;
    case Qt::Key_Backspace:
        return 8;
    case Qt::Key_Tab:
    case Qt::Key_Backtab:
        return 9;
    default:
        break;
    }
    const bool control = modifiers.testFlag(Qt::ControlModifier);
    const bool alt = modifiers.testFlag(Qt::AltModifier);
    if (control && !alt) {
        if (key >= Qt::Key_A && key <= Qt::Key_Z)
            return key - Qt::Key_A + 1;
        if (key == Qt::Key_BracketLeft)
            return 27;
        if (key == Qt::Key_Backslash)
            return 28;
        if (key == Qt::Key_BracketRight)
            return 29;
        return 0;
    }
    const QString text = event->text();
    if (text.size() != 1)
        return 0;
    const char16_t unit = text.at(0).unicode();
    // Key codes are bytes: Latin-1 characters keep their code, others have none.
    if (unit < 32 || unit == 127 || unit > 255)
        return 0;
    return unit;
}

void ShowErrorBox(const std::string& text)
{
    QMessageBox box(QMessageBox::Critical, QString::fromStdString(Caption),
        QString::fromStdString(text), QMessageBox::Ok, W.Window);
    // Closed by the user, the box shows nothing more: the same error raised
    // while its loop winds down is news again, not a repeat.
    QObject::connect(&box, &QDialog::finished, [] { W.ShownError.reset(); });
    BeginModal();
    box.exec();
    EndModal();
    // Qt leaves no active window behind a closed box.
    ActivateWindow();
}

void ReportError(const std::string& text)
{
    if (W.ErrorBoxOpen) {
        if (text != W.ShownError)
            W.PendingError = text;
        return;
    }
    W.ErrorBoxOpen = true;
    std::optional<std::string> next = text;
    while (next) {
        W.ShownError = *next;
        ShowErrorBox(*next);
        next = std::exchange(W.PendingError, std::nullopt);
    }
    W.ErrorBoxOpen = false;
}

void CallEventRoutine()
{
    // A copy: the routine may replace EventRoutine while it runs.
    const Routine routine = EventRoutine;
    if (!routine)
        return;
    // An error never crosses Qt's event loop: shown, and the tick goes on.
    try {
        routine();
    } catch (const std::exception& error) {
        ReportError(error.what());
    } catch (...) {
        ReportError("Unknown error");
    }
}

void DismissTextPage()
{
    if (!TextPageShown)
        return;
    Kern::ClearScreen();
    TextPageShown = false;
}

QPoint CanvasPoint(const QMouseEvent* event)
{
    const QPointF p = event->position() * PixelRatio();
    return { static_cast<int>(std::floor(p.x())), static_cast<int>(std::floor(p.y())) };
}

int ButtonState(Qt::MouseButtons buttons)
{
    const bool left = buttons.testFlag(Qt::LeftButton);
    const bool right = buttons.testFlag(Qt::RightButton);
    if (left && right)
        return 3;
    if (left)
        return 1;
    if (right)
        return 2;
    return 0;
}

// Keeps what was drawn; new area is white.
void ResizeCanvas(int width, int height)
{
    if (W.Canvas.width() == width && W.Canvas.height() == height)
        return;
    QImage canvas(width, height, QImage::Format_RGB32);
    canvas.fill(Qt::white);
    const int dotsPerMeter = static_cast<int>(std::lround(CanvasDotsPerInch() / 0.0254));
    canvas.setDotsPerMeterX(dotsPerMeter);
    canvas.setDotsPerMeterY(dotsPerMeter);
    if (!W.Canvas.isNull()) {
        QPainter painter(&canvas);
        painter.drawImage(0, 0, W.Canvas);
    }
    W.Canvas = canvas;
}

// [SECTION] TGrundfenster

TGrundfenster::TGrundfenster()
    : QWidget(nullptr, Qt::Window | Qt::FramelessWindowHint)
{
    setAttribute(Qt::WA_OpaquePaintEvent);
    setMouseTracking(true);
    setCursor(Qt::CrossCursor);
    setFocusPolicy(Qt::StrongFocus);
    setAutoFillBackground(false);
}

void TGrundfenster::OnCreate()
{
    QScreen* screen = QGuiApplication::primaryScreen();
    assert(screen && "the console needs a screen");
    const double ratio = screen->devicePixelRatio();
    DisplayWidth = static_cast<int>(std::lround(screen->geometry().width() * ratio));
    DisplayHeight = static_cast<int>(std::lround(screen->geometry().height() * ratio));
    // Without a window manager showMaximized leaves a small window.
    setGeometry(screen->geometry());
    ResizeCanvas(DisplayWidth, DisplayHeight);
    LoadProvisionalPalette();
    Kern::Reset();
    setWindowTitle(QString::fromStdString(Caption));

    W.Tick = new QTimer(this);
    W.Tick->setInterval(1);
    W.Tick->setTimerType(Qt::PreciseTimer);
    QObject::connect(W.Tick, &QTimer::timeout, this, [] { OnTimer(); });
    W.Tick->start();
    W.ModalTick = new QTimer(this);
    W.ModalTick->setInterval(1);
    W.ModalTick->setTimerType(Qt::PreciseTimer);
    QObject::connect(W.ModalTick, &QTimer::timeout, this, [] {
        if (W.ModalDepth > 0)
            OnTimer();
    });
}

void TGrundfenster::paintEvent(QPaintEvent* event)
{
    QPainter painter(this);
    // The target rectangle in window pixels maps the canvas 1:1 onto device pixels.
    const QRectF target(0, 0, W.Canvas.width() / PixelRatio(), W.Canvas.height() / PixelRatio());
    painter.fillRect(event->rect(), Qt::white);
    painter.drawImage(target, W.Canvas);
}

void TGrundfenster::keyPressEvent(QKeyEvent* event)
{
    const int key = event->key();
    if (key == Qt::Key_Shift || key == Qt::Key_Control || key == Qt::Key_Alt || key == Qt::Key_Meta
        || key == Qt::Key_AltGr || key == Qt::Key_CapsLock || key == Qt::Key_NumLock
        || key == Qt::Key_Super_L || key == Qt::Key_Super_R) {
        return;
    }
    const Qt::KeyboardModifiers modifiers = event->modifiers()
        & (Qt::ShiftModifier | Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier);
    OnKeyDown(key, modifiers);
    const int character = CharacterCode(event, modifiers);
    if (character != 0)
        OnKeyPressed(character);
}

void TGrundfenster::OnKeyDown(int key, Qt::KeyboardModifiers modifiers)
{
    if (modifiers == Qt::ControlModifier && key == Qt::Key_C)
        EndProgram();
    const int code = KeyDownCode(key, modifiers);
    if (code != 0)
        StoreKeyCode(code);
}

void TGrundfenster::OnKeyPressed(int character)
{
    if (character == 13)
        character = 23;
    StoreKeyCode(character);
    DismissTextPage();
}

void TGrundfenster::mouseMoveEvent(QMouseEvent* event)
{
    OnMouseMove(event);
}

// The image area over the top rows takes the presses there and reports only
// its releases; below it the window reports only presses.
void TGrundfenster::mousePressEvent(QMouseEvent* event)
{
    if (CanvasPoint(event).y() >= ReleaseRows)
        OnMouseDown(event);
}

void TGrundfenster::mouseReleaseEvent(QMouseEvent* event)
{
    if (CanvasPoint(event).y() < ReleaseRows)
        OnMouseDown(event);
}

void TGrundfenster::OnMouseMove(QMouseEvent* event)
{
    const QPoint p = CanvasPoint(event);
    MouseX = p.x();
    MouseY = p.y();
    MouseButtons = ButtonState(event->buttons());
}

void TGrundfenster::OnMouseDown(QMouseEvent* event)
{
    OnMouseMove(event);
    DismissTextPage();
}

void TGrundfenster::resizeEvent(QResizeEvent*)
{
    ResizeCanvas(static_cast<int>(std::lround(width() * PixelRatio())),
        static_cast<int>(std::lround(height() * PixelRatio())));
}

void TGrundfenster::closeEvent(QCloseEvent* event)
{
    event->accept();
    EndProgram();
}

} // namespace

// [SECTION] Start and end

void DeriveProgramNames(const std::string& programPath)
{
    const std::size_t slash = programPath.find_last_of("/\\");
    const std::size_t nameStart = slash == std::string::npos ? 0 : slash + 1;
    const std::size_t dot = programPath.rfind('.');
    const bool hasExtension = dot != std::string::npos && dot > nameStart;
    const std::string stem = hasExtension ? programPath.substr(0, dot) : programPath;
    ProgramPath = programPath;
    Caption = stem.substr(nameStart);
    DefaultTextFile = stem + ".txt";
    DefaultPicture = stem + ".bmp";
}

void OpenConsole(const std::string& programPath)
{
    assert(QApplication::instance() && "create the QApplication before OpenConsole");
    DeriveProgramNames(programPath);
    if (!W.Window) {
        W.Window = new TGrundfenster;
        W.Window->OnCreate();
        Eingabe::CreateDialog();
    }
    Reset();
    Kern::Reset();
    Eingabe::Reset();
    PromptLoop::Install(Kern::Binding());
    W.Window->show();
    ActivateWindow();
}

void StartProgram(Routine setup, Routine event)
{
    Kern::InitConsole(false, false, "Courier", 10, 0);
    SetupRoutine = std::move(setup);
    EventRoutine = std::move(event);
}

void StoreExitHook(Routine hook)
{
    ExitHook = std::move(hook);
}

namespace {

// Qt aborts from the application's constructor when its platform plugin finds
// no usable display. Its messages meanwhile are held back: a fatal one ends
// the program with NoDisplayLine and status 1, the others are passed on once
// the application stands.
struct HeldMessage {
    QtMsgType Type;
    std::string Category;
    QString Text;
};
std::vector<HeldMessage> HeldStartMessages;

void HoldStartMessage(QtMsgType type, const QMessageLogContext& context, const QString& text)
{
    if (type == QtFatalMsg) {
        std::fputs((NoDisplayLine + "\n").c_str(), stderr);
        std::_Exit(1); // nothing measured yet, and Qt half made
    }
    HeldStartMessages.push_back({ type, context.category ? context.category : "", text });
}

void CreateApplication(int& argc, char** argv)
{
    const QtMessageHandler passOn
        = NoDisplayLine.empty() ? nullptr : qInstallMessageHandler(HoldStartMessage);
    new QApplication(argc, argv); // lives until the process ends
    if (!passOn)
        return;
    qInstallMessageHandler(passOn);
    for (const HeldMessage& message : HeldStartMessages)
        passOn(message.Type, QMessageLogContext(nullptr, 0, nullptr, message.Category.c_str()),
            message.Text);
    HeldStartMessages.clear();
}

} // namespace

void RunConsole(int& argc, char** argv, Routine setup, Routine event, std::string noDisplayLine)
{
    NoDisplayLine = std::move(noDisplayLine);
    if (!QApplication::instance())
        CreateApplication(argc, argv);
    OpenConsole(QCoreApplication::applicationFilePath().toStdString());
    CatchEndSignals();
    StartProgram(std::move(setup), std::move(event));
    QApplication::exec();
    EndProgram();
}

void EndProgram()
{
    if (!W.Ending) {
        W.Ending = true; // a hook that ends the program itself must not run twice
        if (ExitHook) {
            try {
                ExitHook();
            } catch (...) {
                // Ending anyway: nothing may keep the program alive now.
            }
        }
    }
    std::cout.flush();
    std::fflush(nullptr);
    std::_Exit(EndStatus);
}

void Reset()
{
    SetupRoutine = DoNothing;
    EventRoutine = DoNothing;
    ExitHook = DoNothing;
    SetupDone = false;
    KeyBuffer.clear();
    TextPageShown = false;
    MouseX = 0;
    MouseY = 0;
    MouseButtons = 0;
    W.ModalDepth = 0;
    W.ErrorBoxOpen = false;
    W.PendingError.reset();
    if (W.ModalTick)
        W.ModalTick->stop();
    LoadProvisionalPalette();
}

// [SECTION] End signals
// The handler only writes a byte to a pipe, which is all a signal handler may
// safely do; the event loop, also a dialog's or a message box's own, reads it
// and ends the program as closing the window does.

namespace {

std::array<int, 2> SignalPipe { -1, -1 };

void OnEndSignal(int)
{
    const int saved = errno;
    const char byte = 1;
    [[maybe_unused]] const ssize_t written = ::write(SignalPipe[1], &byte, 1);
    errno = saved;
}

} // namespace

void CatchEndSignals()
{
    assert(QCoreApplication::instance() && "the event loop reads the signals");
    if (SignalPipe[0] >= 0)
        return;
    // Without the pipe the signals keep their default: ending at once.
    if (::pipe2(SignalPipe.data(), O_CLOEXEC | O_NONBLOCK) != 0)
        return;
    auto* notifier
        = new QSocketNotifier(SignalPipe[0], QSocketNotifier::Read, QCoreApplication::instance());
    QObject::connect(notifier, &QSocketNotifier::activated, notifier, [] { EndProgram(); });
    struct sigaction action { };
    action.sa_handler = OnEndSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (const int number : { SIGTERM, SIGHUP, SIGINT })
        ::sigaction(number, &action, nullptr);
}

// [SECTION] Window

int CanvasWidth()
{
    return W.Canvas.width();
}

int CanvasHeight()
{
    return W.Canvas.height();
}

bool WindowIsActive()
{
    return W.Window && W.ModalDepth == 0 && W.Window->isActiveWindow();
}

void ActivateWindow()
{
    assert(W.Window && "OpenConsole must run first");
    W.Window->activateWindow();
    W.Window->setFocus(Qt::ActiveWindowFocusReason);
}

QWidget* Window()
{
    return W.Window;
}

QImage& Canvas()
{
    assert(W.Window && "OpenConsole must run before drawing");
    return W.Canvas;
}

double PixelRatio()
{
    if (W.Window && W.Window->windowHandle())
        return W.Window->devicePixelRatioF();
    const QScreen* screen = QGuiApplication::primaryScreen();
    return screen ? screen->devicePixelRatio() : 1.0;
}

int CanvasDotsPerInch()
{
    const QScreen* screen = QGuiApplication::primaryScreen();
    const double logical = screen ? screen->logicalDotsPerInch() : 96.0;
    return static_cast<int>(std::lround(logical * PixelRatio()));
}

void RequestRepaint()
{
    if (W.Window)
        W.Window->update();
}

void RepaintNow()
{
    if (W.Window && W.Window->isVisible())
        W.Window->repaint();
}

// [SECTION] Tick

void OnTimer()
{
    if (W.Window) {
        const QString caption = QString::fromStdString(Caption);
        if (W.Window->windowTitle() != caption)
            W.Window->setWindowTitle(caption);
    }
    CallEventRoutine();
}

void ShowErrorMessage(const std::string& text)
{
    ReportError(text);
}

void BeginModal()
{
    if (W.ModalDepth++ == 0 && W.ModalTick)
        W.ModalTick->start();
}

void EndModal()
{
    assert(W.ModalDepth > 0 && "EndModal without BeginModal");
    if (--W.ModalDepth == 0 && W.ModalTick)
        W.ModalTick->stop();
}

// [SECTION] Keys

void StoreKeyCode(int code)
{
    if (KeyBuffer.size() < KeyBufferCapacity)
        KeyBuffer.push_back(static_cast<char>(static_cast<unsigned char>(code)));
}

// [SECTION] Files

bool FileExists(const std::string& name)
{
    return Files::FileExists(name);
}

void DrawPicture(const Bitmap::Picture& picture, int x, int y)
{
    assert(picture.Pixels.size()
            == static_cast<std::size_t>(picture.Width) * static_cast<std::size_t>(picture.Height)
        && "a picture holds Width x Height pixels");
    QImage& canvas = Canvas();
    // In 64 bits: x + Width must not overflow for any int x.
    const long long left = std::max<long long>(x, 0);
    const long long top = std::max<long long>(y, 0);
    const long long right
        = std::min<long long>(static_cast<long long>(x) + picture.Width, canvas.width());
    const long long bottom
        = std::min<long long>(static_cast<long long>(y) + picture.Height, canvas.height());
    if (left >= right || top >= bottom)
        return;
    const auto count = static_cast<std::size_t>(right - left);
    for (long long row = top; row < bottom; ++row) {
        const std::uint32_t* from = picture.Pixels.data()
            + static_cast<std::size_t>(row - y) * static_cast<std::size_t>(picture.Width)
            + static_cast<std::size_t>(left - x);
        auto* to = reinterpret_cast<std::uint32_t*>(canvas.scanLine(static_cast<int>(row))) + left;
        std::memcpy(to, from, count * sizeof(std::uint32_t));
    }
    RequestRepaint();
}

void LoadPicture(const std::string& name, int x, int y)
{
    if (!FileExists(name))
        return;
    Bitmap::Picture picture;
    Bitmap::ReadBitmapFile(name, picture);
    if (name == DefaultPicture) {
        x = (CanvasWidth() - picture.Width) / 2;
        y = (CanvasHeight() - picture.Height) / 2;
    }
    DrawPicture(picture, x, y);
}

void ShowTextFile(const std::string& name, int pointSize)
{
    if (!FileExists(name))
        return;
    std::ifstream file(name, std::ios::binary);
    if (!file)
        throw std::runtime_error("Cannot read the text file " + name);
    const std::string fontName = Kern::Tools.FontName;
    const int fontSize = Kern::Tools.FontSize;
    // The standard white, also before the program has loaded its palette.
    Kern::SetFillStyle(255, StandardWhite, StandardWhite);
    Kern::FillBar(0, 0, Kern::ScreenWidth(), Kern::ScreenHeight());
    Kern::Tools.FontName = "Courier";
    Kern::SetTextJustify(0, 0);
    Kern2::SetFontSize(pointSize);
    Kern::WriteLine("");
    for (std::string line; Utf8::ReadLine(file, line);)
        Kern::WriteLine(Utf8::FromUtf8OrLatin1(line));
    // CharWidth and CharHeight stay those of the page.
    Kern::Tools.FontName = fontName;
    Kern::Tools.FontSize = fontSize;
    TextPageShown = true;
}

} // namespace FensterGraf
