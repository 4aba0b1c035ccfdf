"""The main job: both components on real data, one after the other."""
import graph_demo
import tracker_demo


def main():
    print("#### Graph client core")
    graph_demo.main()
    print("\n#### Video tracker")
    tracker_demo.main()


if __name__ == "__main__":
    main()
