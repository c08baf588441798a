#pragma once

/// An installed copy keeps its files in the user's data folder (the same for tarnconf and
/// tarn), made on the first start with the sample Tarn.INI of the installation; a Tarn.INI
/// already there is the user's and stays as it is. A copy run from its own folder (an
/// unpacked or build-folder copy) or with TARN_HOME keeps using that. The application name
/// must be set before. A failure is told on standard error with `programName` in front.
void UseUserProgramFolder(const char* programName);
