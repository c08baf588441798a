#pragma once

struct TrafficRecord;

/// Running totals of the traffic: requests sent, answers (data replies and ACKs), time-outs,
/// CRC errors and refusals. A request failed when it timed out or was not acknowledged.
class TrafficCounters
{
public:
    int requests = 0;
    int replies = 0;
    int timeOuts = 0;
    int crcErrors = 0;
    int refused = 0;

    void Add(const TrafficRecord& record);
    /// Failed requests as a share of all requests, 0 to 1; 0 before the first request.
    double FailedShare() const;
};
