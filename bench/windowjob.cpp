// SPDX-License-Identifier: MIT
// The job through the real window, for the benchmark: drops the file, sets
// the chunk size and the options, presses Execute and prints the seconds
// until the job returned, then the output size panel.
//   kestrune-bench-window FILE CHUNK [measure] [leading]
#include "KestruneApplication.h"
#include "StatusBar.h"
#include "Unit1.h"

#include <QCheckBox>
#include <QComboBox>
#include <QElapsedTimer>
#include <QMimeData>
#include <QPushButton>
#include <QUrl>

#include <cstdio>
#include <cstring>

namespace {

bool HasWord(int argc, char** argv, const char* word) {
    for (int i = 3; i < argc; ++i) {
        if (std::strcmp(argv[i], word) == 0) {
            return true;
        }
    }
    return false;
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: kestrune-bench-window FILE CHUNK [measure] [leading]\n");
        return 2;
    }
    KestruneApplication application(argc, argv);
    TForm1 form;
    form.show();
    QCoreApplication::processEvents();

    QMimeData drop;
    drop.setUrls({QUrl::fromLocalFile(QString::fromLocal8Bit(argv[1]))});
    if (!form.FormDropFiles(drop)) {
        return 1;
    }
    form.ComboBox1->setCurrentText(QString::fromLocal8Bit(argv[2]));
    form.CheckBox1->setChecked(HasWord(argc, argv, "leading"));
    form.CheckBox3->setChecked(HasWord(argc, argv, "measure"));
    QCoreApplication::processEvents();

    // The job runs inside the click's handler, its yields serving the window.
    QElapsedTimer timer;
    timer.start();
    form.Button1->click();
    const double seconds = static_cast<double>(timer.nsecsElapsed()) * 1e-9;
    if (form.JobRunning()) {
        return 1;
    }
    const QByteArray outSize =
        form.StatusBar1->PanelText(static_cast<int>(kst::Figure::OutputSize)).toUtf8();
    std::printf("%.6f %s\n", seconds, outSize.constData());
    return 0;
}
