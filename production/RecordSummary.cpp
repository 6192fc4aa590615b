#include "RecordSummary.h"

#include "DeviceRecord.h"

QString RecordSummary::mostFailedStep() const
{
    QString most;
    for (const QString &step : DeviceRecord::failedStepNames())
        if (failedSteps.value(step) > failedSteps.value(most))
            most = step;
    return most;
}
