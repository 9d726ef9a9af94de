import json
import math

import pytest

import marvane


def test_versions():
    first = marvane.hcm_versions()
    assert first == ["7", "7.1"]
    first.append("8")
    assert marvane.hcm_versions() == ["7", "7.1"]
    assert marvane.hcm_latest_version() == marvane.hcm_versions()[-1]
    assert marvane.hcm_versions.__doc__.startswith(
        "The HCM editions this library implements, oldest first, as the labels the manual itself uses."
    )


@pytest.mark.parametrize(
    "version, chapter, expected",
    [("HCM 7.1", 13, True), ("7.1", 14, True), ("v7.1", 27, True), ("7.1", 28, True), ("7.1", 15, False),
     ("7", 14, False), ("7.0", 13, False), (" 7 .1 ", 13, True)],
)
def test_version_changes_chapter(version, chapter, expected):
    assert marvane.hcm_version_changes_chapter(version, chapter) is expected
    assert marvane.hcm_version_changes_chapter(chapter=chapter, version=version) is expected


@pytest.mark.parametrize("text", ["7.2", " 7.2 ", "7th", "", "7\t.1"])
def test_version_refused_shows_text_as_passed(text):
    escaped = json.dumps(text)  # the same escapes for these inputs
    with pytest.raises(ValueError) as err:
        marvane.hcm_version_changes_chapter(text, 13)
    assert str(err.value) == f'unknown HCM version {escaped}; expected one of "7" or "7.1"'


@pytest.mark.parametrize(
    "text, shown",
    [("\u00a07.2", "\\u{a0}7.2"), ("7.2\u200b", "7.2\\u{200b}"), ("7.1\x00", "7.1\\0"), ("7.2\u00e9", "7.2\u00e9")],
)
def test_version_message_escapes_non_printable_characters(text, shown):
    with pytest.raises(ValueError) as err:
        marvane.hcm_version_changes_chapter(text, 13)
    assert str(err.value) == f'unknown HCM version "{shown}"; expected one of "7" or "7.1"'


@pytest.mark.parametrize("version", ["7.1", "7.2"])
@pytest.mark.parametrize("chapter", [256, -1])
def test_chapter_range_checked_before_version(version, chapter):
    with pytest.raises(OverflowError, match="^out of range integral type conversion attempted$"):
        marvane.hcm_version_changes_chapter(version, chapter)


def test_version_argument_types():
    with pytest.raises(TypeError, match="^argument 'version': "):
        marvane.hcm_version_changes_chapter(7.1, 13)
    with pytest.raises(TypeError, match="^argument 'chapter': "):
        marvane.hcm_version_changes_chapter("7.1", "13")
    with pytest.raises(TypeError, match="^hcm_versions\\(\\) takes 0 positional arguments but 1 was given$"):
        marvane.hcm_versions(1)


def test_constraints_document():
    text = marvane.get_constraints()
    doc = json.loads(text)
    assert list(doc) == ["version", "two_lane_highways"]
    assert doc["version"] == marvane.__version__
    group = doc["two_lane_highways"]
    assert list(group) == ["lane_width", "shoulder_width", "passing_type", "horizontal_class", "vertical_class",
                           "grade", "phf", "phv", "speed_limit", "speed_radius", "access_point_density",
                           "segment_length"]
    assert list(group["lane_width"]) == ["name", "min", "max", "unit", "source", "description"]
    assert list(group["passing_type"]) == ["name", "values", "labels", "source", "description"]
    assert list(group["speed_radius"]) == ["name", "depends_on", "table", "unit", "source", "description"]
    assert group["speed_radius"]["table"][0] == [15, 50.0]
    assert group["speed_radius"]["table"][-1] == [80, 1810.0]
    assert len(group["speed_radius"]["table"]) == 14
    assert group["horizontal_class"]["name"] == "hor_class"
    assert len(group["horizontal_class"]["labels"]) == 6
    assert group["vertical_class"]["values"] == [1, 2, 3, 4, 5]
    assert group["phf"]["unit"] == ""
    # Pretty form: two-space indentation, bounds written as floats, table rows over several lines.
    assert text.startswith('{\n  "version": "0.3.7",\n  "two_lane_highways": {\n    "lane_width": {\n')
    assert '"min": 9.0,' in text
    assert '"table": [\n        [\n          15,\n          50.0\n        ],' in text
    assert not text.endswith("\n")


@pytest.mark.parametrize(
    "kwargs, expected",
    [
        ({"lane_width": 8.0}, ["lane_width = 8 ft is outside valid range [9, 12]. Source: HCM 7th Edition, Exhibit 15-8"]),
        ({"lane_width": 9.0, "shoulder_width": 8.0, "grade": -10.0, "phf": 1.0, "phv": 0.0, "spl": 80.0}, []),
        ({"phf": 1.2}, ["phf = 1.2  is outside valid range [0.5, 1]. Source: HCM 7th Edition, Chapter 15"]),
        ({"passing_type": 3, "hor_class": 6},
         ["passing_type = 3 is not a valid value. Must be one of [0, 1, 2]. Source: HCM 7th Edition, Chapter 15.3",
          "hor_class = 6 is not a valid value. Must be one of [0, 1, 2, 3, 4, 5]. Source: HCM 7th Edition, Exhibit 15-22"]),
        ({"spl": math.nan}, ["spl = NaN mph is outside valid range [15, 80]. Source: AASHTO Green Book, Chapter 2"]),
        ({"grade": 10.5, "lane_width": 13}, [
            "lane_width = 13 ft is outside valid range [9, 12]. Source: HCM 7th Edition, Exhibit 15-8",
            "grade = 10.5 % is outside valid range [-10, 10]. Source: AASHTO Green Book, Chapter 3"]),
        ({}, []),
        ({"lane_width": None, "passing_type": None}, []),
        ({"phv": 1e23}, ["phv = 100000000000000000000000 % is outside valid range [0, 100]. Source: HCM 7th Edition, Chapter 15"]),
    ],
)
def test_validate_input(kwargs, expected):
    assert marvane.validate_input(**kwargs) == expected


def test_validate_input_argument_errors():
    with pytest.raises(TypeError, match="^argument 'passing_type': "):
        marvane.validate_input(passing_type=1.0)
    with pytest.raises(OverflowError):
        marvane.validate_input(hor_class=2**31)
    with pytest.raises(TypeError, match="got an unexpected keyword argument 'width'"):
        marvane.validate_input(width=1.0)
