#pragma once

// The remote feature switches: fetches the feature file once and stores the
// switched-off names under "remote_hidden_features" and the descriptions
// under "remote_feature_descs". Returns at once.
void loadRemoteConfig();
