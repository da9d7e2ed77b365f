// What a capture session asks of the process it runs in. The session window
// decides and draws; telling the user, keeping the settings and waiting for
// an image search's result belong to the process, which outlives the session.
//
// Ending the session is not asked for here: a handler returns
// SessionRequest::End and the process ends the session once the handler is
// done with it.
#pragma once

#include <memory>
#include <string>

#include "session/io/search_channel.h"
#include "session/session_messages.h"

namespace kadrovix {

class SessionHost {
public:
    virtual ~SessionHost() = default;

    // A confirmation for the user, shown without taking the focus.
    virtual void notify_user(NoticeKind kind) = 0;

    // The folder the Save dialog opens on (UTF-16, as the settings hold it).
    virtual std::u16string save_folder() const = 0;
    // The folder of the file just saved, for the next Save dialog and the
    // settings written when the session ends.
    virtual void remember_save_folder(std::u16string folder) = 0;

    // The receiving end of the image search just started. The process keeps
    // it until the worker's MSG_SEARCH_RESULT arrives, and drops it with the
    // session.
    virtual void hold_search(std::unique_ptr<SearchReceiver> receiver) = 0;
};

}  // namespace kadrovix
