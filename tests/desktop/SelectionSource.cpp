#include <QApplication>
#include <QDir>
#include <QPlainTextEdit>
#include <QSaveFile>
#include <QWindow>

// Another application for the desktop tests: its window starts with the whole text selected
// and focused and copies with Ctrl+C like any Qt program. It writes its text down on every
// change, and whether it holds the keyboard focus, so a test can see what reached it.
// Usage: selection-source TITLE TEXT REPORT-FOLDER
int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    const QStringList arguments = QApplication::arguments();
    const QDir reports(arguments[3]);
    const auto report = [&](const char* name, const QString& content) {
        QSaveFile file(reports.filePath(name));
        if (file.open(QIODevice::WriteOnly) && file.write(content.toUtf8()) >= 0)
            file.commit();
    };
    QPlainTextEdit editor;
    editor.setWindowTitle(arguments[1]);
    editor.setPlainText(arguments[2]);
    editor.selectAll();
    report("text", editor.toPlainText());
    QObject::connect(&editor, &QPlainTextEdit::textChanged,
                     [&] { report("text", editor.toPlainText()); });
    QObject::connect(&app, &QGuiApplication::focusWindowChanged,
                     [&](QWindow* window) { report("focus", window ? "in" : "out"); });
    editor.resize(400, 200);
    editor.show();
    editor.activateWindow();
    return app.exec();
}
