#pragma once
// Installs an application exception handler for the life of a test and keeps
// the messages it was given.

#include "toolkit/wndproc.h"

#include <QStringList>

struct CaughtErrors
{
    QStringList messages;
    darvolt::TExceptionHandler previous;
    CaughtErrors()
    {
        previous = darvolt::SetApplicationExceptionHandler(
            [this](std::exception_ptr e) { messages << darvolt::ExceptionMessage(e); });
    }
    ~CaughtErrors() { darvolt::SetApplicationExceptionHandler(previous); }
};
