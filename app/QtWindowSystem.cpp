// SPDX-License-Identifier: MIT
#include "app/QtWindowSystem.h"

#include <QApplication>
#include <QClipboard>
#include <QCursor>
#include <QGuiApplication>
#include <QInputDialog>
#include <QMessageBox>
#include <QMimeData>
#include <QScreen>
#include <QTimer>
#include <cmath>

#include "dialogs/FileDialogs.h"

namespace quelvane {

namespace {
constexpr double kTwipsPerPixel = 15.0;

int ToPixels(double twips) { return static_cast<int>(std::lround(twips / kTwipsPerPixel)); }
bool IsOwnWindow(const QObject* object) {
    const auto* widget = qobject_cast<const QWidget*>(object);
    if (!widget || !widget->isWindow()) return false;
    const Qt::WindowType type = widget->windowType();  // menus and tool tips keep out
    return type == Qt::Window || type == Qt::Dialog;
}

void Activate(QWidget* window) {
    if (window && window->isVisible()) {
        window->raise();
        window->activateWindow();
    }
}
}  // namespace

FocusKeeper::FocusKeeper(QWidget* window) : QObject(window), mainWindow(window) { qApp->installEventFilter(this); }

bool FocusKeeper::eventFilter(QObject* watched, QEvent* event) {
    if ((event->type() == QEvent::Show || event->type() == QEvent::Hide) && IsOwnWindow(watched)) {
        const bool shown = event->type() == QEvent::Show;
        QPointer<QWidget> window = static_cast<QWidget*>(watched);
        // After the event: the window is mapped, or the one below is the top again.
        QTimer::singleShot(0, this, [this, window, shown] {
            if (shown) {
                Activate(window);
            } else if (QApplication::activeWindow() == nullptr) {
                QWidget* modal = QApplication::activeModalWidget();
                Activate(modal ? modal : mainWindow.data());
            }
        });
    }
    return QObject::eventFilter(watched, event);
}

void QtWindowSystem::SetMainWindow(QWidget* window) {
    mainWindow = window;
    delete focusKeeper;
    if (window) focusKeeper = new FocusKeeper(window);
}

MessageAnswer QtWindowSystem::MessageBox(const QString& text, const QString& title, MessageIcon icon,
                                         MessageButtons buttons) {
    QMessageBox::Icon qicon = QMessageBox::NoIcon;
    if (icon == MessageIcon::Information) qicon = QMessageBox::Information;
    if (icon == MessageIcon::Exclamation) qicon = QMessageBox::Warning;
    const bool question = buttons != MessageButtons::Ok;
    QMessageBox box(qicon, title.isEmpty() ? QStringLiteral("Quelvane") : title, QString(text).replace("\r\n", "\n"),
                    question ? (QMessageBox::Yes | QMessageBox::No) : QMessageBox::Ok, mainWindow);
    box.setTextFormat(Qt::PlainText);
    box.setDefaultButton(!question                          ? QMessageBox::Ok
                         : buttons == MessageButtons::YesNo ? QMessageBox::Yes
                                                            : QMessageBox::No);
    // A busy pointer from a running command must not hide the box's own.
    const int busy = busyDepth;
    for (int i = 0; i < busy; ++i) QApplication::restoreOverrideCursor();
    const int pressed = box.exec();
    for (int i = 0; i < busy; ++i) QApplication::setOverrideCursor(Qt::WaitCursor);
    if (!question) return MessageAnswer::Ok;
    return pressed == QMessageBox::Yes ? MessageAnswer::Yes : MessageAnswer::No;
}

QString QtWindowSystem::InputBox(const QString& prompt, const QString& title, const QString& defaultAnswer) {
    bool ok = false;
    const QString answer = QInputDialog::getText(mainWindow, title, prompt, QLineEdit::Normal, defaultAnswer, &ok);
    return ok ? answer : QString();
}

void QtWindowSystem::SetBusyPointer(bool busy) {
    if (busy) {
        QApplication::setOverrideCursor(Qt::WaitCursor);
        ++busyDepth;
    } else if (busyDepth > 0) {
        QApplication::restoreOverrideCursor();
        --busyDepth;
    }
}

bool QtWindowSystem::SetClipboardText(const QString& text) { return PutOnClipboard(text, false); }

bool QtWindowSystem::SetSecretClipboardText(const QString& text) { return PutOnClipboard(text, true); }

bool QtWindowSystem::PutOnClipboard(const QString& text, bool secret) {
    QClipboard* clipboard = QGuiApplication::clipboard();
    if (!clipboard) return false;
    clipboard->clear();
    auto* data = new QMimeData;  // the clipboard owns it
    data->setText(text);
    // The hint clipboard managers (Klipper, and those that follow it) honour:
    // they keep no copy of the text in their history.
    if (secret) data->setData(QStringLiteral("x-kde-passwordManagerHint"), QByteArrayLiteral("secret"));
    clipboard->setMimeData(data);
    secretData = secret ? data : nullptr;
    return clipboard->text() == text;
}

void QtWindowSystem::ClearSecretClipboard() {
    QClipboard* clipboard = QGuiApplication::clipboard();
    if (clipboard && secretData && clipboard->mimeData() == secretData) clipboard->clear();
    secretData = nullptr;
}

std::optional<QString> QtWindowSystem::ChooseFile(const FileDialogRequest& request) { return RunQtFileDialog(request); }

std::optional<WindowGeometry> QtWindowSystem::MainWindowGeometry() {
    if (!mainWindow) return std::nullopt;
    const QRect frame = mainWindow->frameGeometry();
    return WindowGeometry{frame.x() * kTwipsPerPixel, frame.y() * kTwipsPerPixel, frame.width() * kTwipsPerPixel,
                          frame.height() * kTwipsPerPixel};
}

bool QtWindowSystem::SetMainWindowGeometry(const WindowGeometry& geometry) {
    if (!mainWindow || !mainWindow->isVisible() || mainWindow->isMinimized()) return false;
    // A maximised or full-screen window leaves that state where it stands, so
    // the closing slide starts from what the user sees.
    if (mainWindow->windowState() & (Qt::WindowMaximized | Qt::WindowFullScreen)) {
        const QRect shown = mainWindow->geometry();
        mainWindow->setWindowState(Qt::WindowNoState);
        mainWindow->setGeometry(shown);
    }
    const QRect frame = mainWindow->frameGeometry();
    const QRect client = mainWindow->geometry();
    const int width = ToPixels(geometry.width) - (frame.width() - client.width());
    const int height = ToPixels(geometry.height) - (frame.height() - client.height());
    if (width < 1 || height < 1) return false;
    mainWindow->setMinimumSize(1, 1);  // 0 would hand the minimum back to the layout
    mainWindow->setMaximumSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
    mainWindow->move(ToPixels(geometry.left), ToPixels(geometry.top));
    mainWindow->resize(width, height);
    return true;
}

double QtWindowSystem::ScreenWidth() {
    QScreen* screen = mainWindow ? mainWindow->screen() : QGuiApplication::primaryScreen();
    return screen ? screen->geometry().width() * kTwipsPerPixel : 0;
}

void QtWindowSystem::EndProgram() {
    while (busyDepth > 0) SetBusyPointer(false);
    QCoreApplication::exit(0);
}

}  // namespace quelvane
