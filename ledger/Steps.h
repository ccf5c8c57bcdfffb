#pragma once
// Small helpers of the ledger window's handlers, which run with failures ignored step by step:
// a step that fails is skipped and the next one runs, with no message.
#include <QString>
#include <exception>

// Runs one step; answers whether it finished.
template <typename Step>
bool TryStep(Step &&step)
{
    try {
        step();
        return true;
    } catch (const std::exception &) {
        return false;
    }
}

// A text read as a whole number of 32 bits (rounded), as an id or a task number is read from a
// caption or a cell. Throws when the text is not one.
qint32 ToLong(const QString &text);
// The same within 16 bits, as the entry editor carries head and task numbers.
qint16 ToInteger(const QString &text);
// A text read as a number, with a point as decimal separator or in the system locale's own form.
// Throws when the text is not one.
double ToNumber(const QString &text);
// An amount as the entry editor stores it: a finite number of at most 10^15 in size (beyond the
// 15 digits the program shows, and so that no sum can overflow). Anything else reads as false.
bool ReadAmount(const QString &text, double *amount);
