#pragma once

#include "HotKeyCenter.h"
#include "MainWindow.h"
#include "Prefs.h"
#include "Recorders.h"
#include "RecordingHotKeyService.h"
#include "SkerrinController.h"
#include "TestApp.h"
#include "UserDefaults.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

// The controller and its main window on a throwaway store, with every desktop service recorded.
class ControllerFixture : public testing::Test {
protected:
    void start() { controller.awakeFromNib(window, center, &poster); }

    const bool appReady = (ensureApp(), true); // before any widget
    QTemporaryDir dir;
    UserDefaults defaults{dir.filePath("prefs.plist")};
    Prefs prefs{defaults};
    RecordingUrlOpener opener;
    RecordingAlert alert;
    RecordingKeystrokePoster poster;
    RecordingHotKeyService service;
    HotKeyCenter center{service};
    SkerrinController controller{prefs, opener, alert};
    MainWindow window{controller.searchHistoryModel()};
};
