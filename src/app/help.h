#pragma once

#include <QObject>
#include <QPointer>
#include <QString>
#include <QTextBrowser>

#include <functional>

class Desktop;

class QWidget;

namespace help {

inline const QString fileName = QStringLiteral("morvane.hlp");

// The help file: beside the program, else where `cmake --install` puts it
// (<prefix>/share/morvane beside <prefix>/bin). Empty when neither exists.
QString helpFilePath(const QString& programFolder);

// Whether the help file goes to the desktop's default program for its type: only when that
// program is also the one for text/html, since the desktop may give ".hlp" the type of
// another system's help format and a program that cannot show this document.
bool opensWithDesktop(Desktop& desktop, const QString& path);
// The same through the running desktop (xdg-mime).
bool hasDefaultApplication(const QString& path);

} // namespace help

// The help command: opens the help file with the desktop's default program for its type when
// that program shows web pages (see help::opensWithDesktop), else shows it in a window of
// Morvane's own. A missing help file
// shows nothing.
class HelpCommand : public QObject
{
    Q_OBJECT
public:
    using HandlerProbe = std::function<bool(const QString& path)>;

    HelpCommand(QString programFolder, Desktop* desktop, HandlerProbe hasHandler,
                QObject* parent = nullptr);
    ~HelpCommand() override;

    void aide();
    // The window of the last help shown in Morvane itself, if any.
    QTextBrowser* window() const { return m_window; }

private:
    QString m_programFolder;
    Desktop* m_desktop;
    HandlerProbe m_hasHandler;
    QPointer<QTextBrowser> m_window;
};
