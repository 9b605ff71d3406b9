#pragma once

#include <QDialog>

#include <memory>

namespace Ui {
class AboutWindow;
}
class UrlOpener;

// The About window: a dialog over the window it was asked from, which Escape closes; gone when
// closed.
class AboutWindowController : public QDialog {
    Q_OBJECT
public:
    static const QString websiteAddress;

    explicit AboutWindowController(UrlOpener& opener, QWidget* parent = nullptr);
    ~AboutWindowController() override;

    void closeWindow();
    void visitWebsite();

private:
    std::unique_ptr<Ui::AboutWindow> ui;
    UrlOpener& opener;
};
