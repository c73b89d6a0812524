// How a step of a task's transfer ended.
#pragma once

enum TransferOutcome {
    TransferFailed,     // nothing is transferring; the task is not complete
    TransferIssued,     // segment requests run; their data arrives in ReceiveCallback
    TransferCompleted,  // announced complete: the worker must not touch the task any more
    TransferStopped,    // a stop was requested; the stopping side owns the task
    TransferShort       // the body ended before totalSize bytes
};
