#pragma once

#include <QWidget>

#include <memory>

namespace Ui {
class AboutWindow;
}
class UrlOpener;

// The About window; a new one on every request, gone when closed.
class AboutWindowController : public QWidget {
    Q_OBJECT
public:
    static const QString websiteAddress;

    explicit AboutWindowController(UrlOpener& opener);
    ~AboutWindowController() override;

    void closeWindow();
    void visitWebsite();

private:
    std::unique_ptr<Ui::AboutWindow> ui;
    UrlOpener& opener;
};
