#include "link/TrafficCounters.h"

#include "link/TrafficRecord.h"

void TrafficCounters::Add(const TrafficRecord& record)
{
    switch (record.kind) {
    case TrafficRecord::Kind::Sent:
        ++requests;
        break;
    case TrafficRecord::Kind::Ack:
    case TrafficRecord::Kind::Reply:
        ++replies;
        break;
    case TrafficRecord::Kind::NotAcknowledged:
        ++refused;
        break;
    case TrafficRecord::Kind::CrcError:
        ++crcErrors;
        break;
    case TrafficRecord::Kind::TimeOut:
        ++timeOuts;
        break;
    case TrafficRecord::Kind::BadFrame:
        break;
    }
}

double TrafficCounters::FailedShare() const
{
    return requests > 0 ? static_cast<double>(timeOuts + refused) / requests : 0.0;
}
