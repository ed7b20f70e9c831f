// SPDX-License-Identifier: MIT
#pragma once

#include <QApplication>

// The application object. A failure escaping any event handler ends that
// handler only: it is shown in the failure box and dispatch goes on, also
// when the handler ran nested inside a running job's yield.
class KestruneApplication : public QApplication {
    Q_OBJECT
public:
    KestruneApplication(int& argc, char** argv);

    bool notify(QObject* receiver, QEvent* event) override;
};
