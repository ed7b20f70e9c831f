// SPDX-License-Identifier: MIT
#include "restore.h"

#include "joberror.h"
#include "nametext.h"
#include "outputpath.h"
#include "restorer.h"
#include "stoprequest.h"
#include "trimrecord.h"
#include "winargs.h"

#include <nlohmann/json.hpp>

#include <ostream>
#include <stdexcept>

namespace kst::cli {
namespace {

using Json = nlohmann::ordered_json;

Json ReportJson(const std::string& record, const Restored* restored, const std::string& error) {
    Json json{{"record", record}};
    if (restored != nullptr) {
        json["output"] = Utf8Of(restored->target);
        json["status"] = "restored";
        json["hashes"] = DigestsJson(restored->verified);
    } else {
        json["output"] = nullptr;
        json["status"] = "failed";
        json["error"] = error;
    }
    return json;
}

} // namespace

int RestoreAll(const RestoreOptions& options, std::ostream& out, std::ostream& err) {
    bool anyFailed = false;
    for (const Input& input : TypedInputs(options.records, false, std::nullopt)) {
        const std::string& record = input.path;
        Json json;
        const std::string shown = EscapeControls(record);
        try {
            if (input.unmatched) {
                throw std::runtime_error(FormatMessage(kNoMatch, record));
            }
            RestoreRequest request{PathFromUtf8(record), std::nullopt, options.force,
                                   [] { return StopSignal() != 0; }};
            if (options.outDir) {
                request.outDir = PathFromUtf8(*options.outDir);
            }
            const Restored restored = RestoreOriginal(request);
            for (const auto& [name, hex] : restored.verified) {
                err << name << " verified " << hex << '\n';
            }
            err << shown << ": restored " << EscapeControls(Utf8Of(restored.target)) << '\n';
            json = ReportJson(record, &restored, {});
        } catch (const std::exception& e) {
            err << shown << ": " << e.what() << '\n';
            json = ReportJson(record, nullptr, e.what());
            anyFailed = true;
        }
        err << std::flush;
        if (options.json) {
            out << json.dump(-1, ' ', false, Json::error_handler_t::replace) << '\n' << std::flush;
        }
        if (StopSignal() != 0) {
            return 128 + StopSignal();
        }
    }
    return anyFailed ? kExitFailed : kExitOk;
}

} // namespace kst::cli
