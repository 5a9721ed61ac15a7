-- Stations shipped with the program: long-running public stations and their stream addresses.
BEGIN;
INSERT INTO Category (Name, Description) VALUES
 ('Classical',  'Classical music and opera'),
 ('Eclectic',   'Freeform and listener-supported music radio'),
 ('Electronic', 'Ambient, downtempo and electronic music'),
 ('Jazz',       'Jazz, blues and swing'),
 ('News',       'News and current affairs'),
 ('Pop',        'Pop and rock'),
 ('Talk',       'Culture, talk and documentaries'),
 ('Television', 'Television stations');

INSERT INTO Station (SName, Frequency, Type, CallLetters, Location, RAMFile, Category, WebPage) VALUES
 ('KEXP',                 '90.3',  'FM',  'KEXP', 'Seattle, WA, USA',        'https://kexp.streamguys1.com/kexp160.aac',                       'Eclectic',   'https://www.kexp.org/'),
 ('WFMU',                 '91.1',  'FM',  'WFMU', 'Jersey City, NJ, USA',    'https://wfmu.org/wfmu.pls',                                       'Eclectic',   'https://wfmu.org/'),
 ('Radio Paradise',       NULL,    'NET', NULL,   'Paradise, CA, USA',       'https://www.radioparadise.com/m3u/mp3-192.m3u',                   'Eclectic',   'https://radioparadise.com/'),
 ('FIP',                  '105.1', 'FM',  NULL,   'Paris, France',           'https://icecast.radiofrance.fr/fip-hifi.aac',                     'Eclectic',   'https://www.radiofrance.fr/fip'),
 ('KCRW',                 '89.9',  'FM',  'KCRW', 'Santa Monica, CA, USA',   'https://kcrw.streamguys1.com/kcrw_192k_mp3_on_air',               'Eclectic',   'https://www.kcrw.com/'),
 ('NTS Radio 1',          NULL,    'NET', NULL,   'London, UK',              'https://stream-relay-geo.ntslive.net/stream',                     'Eclectic',   'https://www.nts.live/'),
 ('SomaFM Groove Salad',  NULL,    'NET', NULL,   'San Francisco, CA, USA',  'https://somafm.com/groovesalad.pls',                              'Electronic', 'https://somafm.com/groovesalad/'),
 ('SomaFM Drone Zone',    NULL,    'NET', NULL,   'San Francisco, CA, USA',  'https://somafm.com/dronezone.pls',                                'Electronic', 'https://somafm.com/dronezone/'),
 ('SomaFM Secret Agent',  NULL,    'NET', NULL,   'San Francisco, CA, USA',  'https://somafm.com/secretagent.pls',                              'Electronic', 'https://somafm.com/secretagent/'),
 ('FM4',                  '103.8', 'FM',  NULL,   'Vienna, Austria',         'https://orf-live.ors-shoutcast.at/fm4-q2a',                       'Pop',        'https://fm4.orf.at/'),
 ('Radio Swiss Pop',      NULL,    'NET', NULL,   'Bern, Switzerland',       'https://www.radioswisspop.ch/live/mp3.m3u',                       'Pop',        'https://www.radioswisspop.ch/'),
 ('Jazz24',               NULL,    'NET', NULL,   'Seattle, WA, USA',        'https://live.wostreaming.net/direct/ppm-jazz24aac256-ibc1',       'Jazz',       'https://www.jazz24.org/'),
 ('WBGO',                 '88.3',  'FM',  'WBGO', 'Newark, NJ, USA',         'https://wbgo.streamguys1.com/wbgo128',                            'Jazz',       'https://www.wbgo.org/'),
 ('Radio Swiss Jazz',     NULL,    'NET', NULL,   'Basel, Switzerland',      'https://www.radioswissjazz.ch/live/mp3.m3u',                      'Jazz',       'https://www.radioswissjazz.ch/'),
 ('TSF Jazz',             '89.9',  'FM',  NULL,   'Paris, France',           'https://tsfjazz.ice.infomaniak.ch/tsfjazz-high.mp3',              'Jazz',       'https://www.tsfjazz.com/'),
 ('SomaFM Sonic Universe',NULL,    'NET', NULL,   'San Francisco, CA, USA',  'https://somafm.com/sonicuniverse.pls',                            'Jazz',       'https://somafm.com/sonicuniverse/'),
 ('WQXR',                 '105.9', 'FM',  'WQXR', 'New York, NY, USA',       'https://stream.wqxr.org/wqxr',                                    'Classical',  'https://www.wqxr.org/'),
 ('Radio Swiss Classic',  NULL,    'NET', NULL,   'Zurich, Switzerland',     'https://www.radioswissclassic.ch/live/mp3.m3u',                   'Classical',  'https://www.radioswissclassic.ch/'),
 ('France Musique',       '91.7',  'FM',  NULL,   'Paris, France',           'https://icecast.radiofrance.fr/francemusique-hifi.aac',           'Classical',  'https://www.radiofrance.fr/francemusique'),
 ('Oe1',                  '92.0',  'FM',  NULL,   'Vienna, Austria',         'https://orf-live.ors-shoutcast.at/oe1-q2a',                       'Classical',  'https://oe1.orf.at/'),
 ('KUSC',                 '91.5',  'FM',  'KUSC', 'Los Angeles, CA, USA',    'https://playerservices.streamtheworld.com/pls/KUSCMP128.pls',     'Classical',  'https://www.kusc.org/'),
 ('BBC World Service',    '648',   'AM',  NULL,   'London, UK',              'http://stream.live.vc.bbcmedia.co.uk/bbc_world_service',          'News',       'https://www.bbc.co.uk/worldserviceradio'),
 ('WNYC',                 '820',   'AM',  'WNYC', 'New York, NY, USA',       'https://am820.wnyc.org/wnycam',                                   'News',       'https://www.wnyc.org/'),
 ('Deutschlandfunk',      '97.7',  'FM',  NULL,   'Cologne, Germany',        'https://st01.sslstream.dlf.de/dlf/01/128/mp3/stream.mp3',         'News',       'https://www.deutschlandfunk.de/'),
 ('France Info',          '105.5', 'FM',  NULL,   'Paris, France',           'https://icecast.radiofrance.fr/franceinfo-midfi.mp3',             'News',       'https://www.francetvinfo.fr/'),
 ('KQED',                 '88.5',  'FM',  'KQED', 'San Francisco, CA, USA',  'https://streams.kqed.org/kqedradio',                              'News',       'https://www.kqed.org/'),
 ('France Culture',       '93.5',  'FM',  NULL,   'Paris, France',           'https://stream.radiofrance.fr/franceculture/franceculture.m3u8',  'Talk',       'https://www.radiofrance.fr/franceculture'),
 ('Deutschlandfunk Kultur','89.6', 'FM',  NULL,   'Berlin, Germany',         'https://st02.sslstream.dlf.de/dlf/02/128/mp3/stream.mp3',         'Talk',       'https://www.deutschlandfunkkultur.de/'),
 ('WNYC FM',              '93.9',  'FM',  'WNYC', 'New York, NY, USA',       'https://fm939.wnyc.org/wnycfm',                                   'Talk',       'https://www.wnyc.org/'),
 ('Radio Caroline',       '648',   'AM',  NULL,   'North Sea, UK',           'http://sc6.radiocaroline.net:8040/mp3',                            'Pop',        'https://www.radiocaroline.co.uk/'),
 ('DW English',           NULL,    'TV',  NULL,   'Berlin, Germany',         'https://dwamdstream102.akamaized.net/hls/live/2015525/dwstream102/index.m3u8', 'Television', 'https://www.dw.com/en/'),
 ('DW Deutsch',           NULL,    'TV',  NULL,   'Berlin, Germany',         'https://dwamdstream106.akamaized.net/hls/live/2017965/dwstream106/index.m3u8', 'Television', 'https://www.dw.com/de/'),
 ('Tagesschau24',         NULL,    'TV',  NULL,   'Hamburg, Germany',        'https://tagesschau.akamaized.net/hls/live/2020115/tagesschau/tagesschau_1/master.m3u8', 'Television', 'https://www.tagesschau.de/'),
 ('NHK World Japan',      NULL,    'TV',  NULL,   'Tokyo, Japan',            'https://nhkwlive-ojp.akamaized.net/hls/live/2003459/nhkwlive-ojp-en/index.m3u8', 'Television', 'https://www3.nhk.or.jp/nhkworld/'),
 ('ARTE',                 NULL,    'TV',  NULL,   'Strasbourg, France',      'https://artesimulcast.akamaized.net/hls/live/2031003/artelive_fr/index.m3u8', 'Television', 'https://www.arte.tv/');

-- Ten preset slots, some holding stations, the rest empty.
INSERT INTO Preset (SName, Frequency, Type, CallLetters, Location, RAMFile, Category, WebPage)
 SELECT SName, Frequency, Type, CallLetters, Location, RAMFile, Category, WebPage FROM Station WHERE SName = 'KEXP';
INSERT INTO Preset (SName, Frequency, Type, CallLetters, Location, RAMFile, Category, WebPage)
 SELECT SName, Frequency, Type, CallLetters, Location, RAMFile, Category, WebPage FROM Station WHERE SName = 'SomaFM Groove Salad';
INSERT INTO Preset (SName, Frequency, Type, CallLetters, Location, RAMFile, Category, WebPage)
 SELECT SName, Frequency, Type, CallLetters, Location, RAMFile, Category, WebPage FROM Station WHERE SName = 'BBC World Service';
INSERT INTO Preset (SName, Frequency, Type, CallLetters, Location, RAMFile, Category, WebPage)
 SELECT SName, Frequency, Type, CallLetters, Location, RAMFile, Category, WebPage FROM Station WHERE SName = 'Jazz24';
INSERT INTO Preset (SName) VALUES ('[Empty]'), ('[Empty]'), ('[Empty]'), ('[Empty]'), ('[Empty]'), ('[Empty]');
COMMIT;
