#pragma once
// The commands of tessarind-cli. Each returns the exit code; a command line that does not
// fit throws UsageError.

#include "cli/CliSupport.h"

namespace tessarind::cli {

// Commands that only read.
int CmdList(Context& ctx, const Args& a);
int CmdInfo(Context& ctx, const Args& a);
int CmdBam(Context& ctx, const Args& a);
int CmdBasic(Context& ctx, const Args& a);
int CmdType(Context& ctx, const Args& a);
int CmdExtract(Context& ctx, const Args& a);
int CmdCrossLinks(Context& ctx, const Args& a);

// Commands over every container of a folder tree.
int CmdFind(Context& ctx, const Args& a);
int CmdBatch(Context& ctx, const Args& a);

// Commands that make or change images.
int CmdNew(Context& ctx, const Args& a);
int CmdConvert(Context& ctx, const Args& a);
int CmdInsert(Context& ctx, const Args& a);
int CmdRemove(Context& ctx, const Args& a);
int CmdRename(Context& ctx, const Args& a);
int CmdLock(Context& ctx, const Args& a);
int CmdUnlock(Context& ctx, const Args& a);
int CmdSplat(Context& ctx, const Args& a);
int CmdUnsplat(Context& ctx, const Args& a);
int CmdRetype(Context& ctx, const Args& a);
int CmdValidate(Context& ctx, const Args& a);
int CmdCompact(Context& ctx, const Args& a);
int CmdSort(Context& ctx, const Args& a);
int CmdFill(Context& ctx, const Args& a);

} // namespace tessarind::cli
