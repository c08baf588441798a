#pragma once
// to be written
