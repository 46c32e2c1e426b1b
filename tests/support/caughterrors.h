#pragma once
// Installs an application exception handler for the life of a test and keeps
// the messages it was given.

#include "toolkit/wndproc.h"

#include <QStringList>

struct CaughtErrors
{
    QStringList messages;
    TExceptionHandler previous;
    CaughtErrors()
    {
        previous = SetApplicationExceptionHandler(
            [this](std::exception_ptr e) { messages << ExceptionMessage(e); });
    }
    ~CaughtErrors() { SetApplicationExceptionHandler(previous); }
};
