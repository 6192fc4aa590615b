#pragma once

#include <QCoreApplication>
#include <QTest>

// The main() of a test program that holds several test classes: each runs
// in turn (the one before gone first), and the program fails when any of
// them does.
template <typename Test>
int runTestClass(int argc, char **argv)
{
    Test test;
    return QTest::qExec(&test, argc, argv);
}

template <typename... Tests>
int runTestClasses(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    int status = 0;
    ((status |= runTestClass<Tests>(argc, argv)), ...);
    return status;
}
